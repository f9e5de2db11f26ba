#include "Pictures.h"

#include <QImageReader>
#include <QPixmap>
#include <QString>

// The pictures are compiled into the windows' library; a static library's
// resources must be registered by name, from the global namespace.
static void InitPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace qarvel::ui {

void RegisterPictures() {
    static const bool registered = (InitPictures(), true);
    (void)registered;
}

namespace {

QImage ReadPng(const QString& path) {
    RegisterPictures();
    // The format is named and not guessed: guessing asks every image
    // plug-in whether it reads the file, and loads them all to do so.
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

} // namespace

const QImage& ProgramIcon() {
    static const QImage icon = ReadPng(QStringLiteral(":/pictures/icon.png"));
    return icon;
}

const QImage& ProgramIcon2x() {
    static const QImage icon = ReadPng(QStringLiteral(":/pictures/icon@2x.png"));
    return icon;
}

QIcon ProgramIconSet() {
    QIcon icon;
    for (const QImage* image : {&ProgramIcon(), &ProgramIcon2x()}) {
        if (!image->isNull()) {
            icon.addPixmap(QPixmap::fromImage(*image));
        }
    }
    return icon;
}

} // namespace qarvel::ui
