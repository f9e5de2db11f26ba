#include "JpegImage.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace qarvel::platform {
namespace {

QString Describe(const QString& name, const QString& reason) {
    return name.isEmpty() ? QStringLiteral("Cannot read picture: %1").arg(reason)
                          : QStringLiteral("Cannot read picture \"%1\": %2").arg(name, reason);
}

} // namespace

// On Windows the JPEG decoder is Qt's own (the qjpeg image-format plug-in, with
// the libjpeg Qt carries), deployed beside the program.
QImage DecodeJpeg(const QByteArray& bytes, const QString& name) {
    if (bytes.isEmpty()) {
        throw PictureError(Describe(name, QStringLiteral("Empty input file")).toStdString());
    }
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer, "jpeg");
    QImage image = reader.read();
    if (image.isNull()) {
        throw PictureError(Describe(name, reader.errorString()).toStdString());
    }
    return image.convertToFormat(QImage::Format_RGB888);
}

QImage LoadJpeg(const QString& path) {
    QFile file(path);
    const QString name = QFileInfo(path).fileName();
    if (!file.open(QIODevice::ReadOnly)) {
        throw PictureError(Describe(name, file.errorString()).toStdString());
    }
    return DecodeJpeg(file.readAll(), name);
}

} // namespace qarvel::platform
