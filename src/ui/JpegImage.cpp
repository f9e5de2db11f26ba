#include "JpegImage.h"

#include <QFile>
#include <QFileInfo>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <memory>

namespace qarvel::ui {
namespace {

// Pictures bigger than this are refused before any memory is taken for them.
constexpr JDIMENSION kMaxSide = 8192;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool failed;
};

// Everything the decoder touches lives here, outside the frame that setjmp
// returns to, so a longjmp out of libjpeg skips no C++ destructor.
struct Job {
    jpeg_decompress_struct info;
    ErrorManager error;
    QImage image;
};

[[noreturn]] void OnError(j_common_ptr info) {
    auto* error = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, error->message);
    error->failed = true;
    std::longjmp(error->jump, 1);
}

// Warnings (level -1) mean corrupt data: the picture is refused like on an error.
void OnMessage(j_common_ptr info, int level) {
    if (level < 0) {
        OnError(info);
    }
}

void Silent(j_common_ptr) {}

// A C-like frame: the only objects in it are pointers and integers.
bool Decode(Job* job, const unsigned char* data, unsigned long size) {
    jpeg_decompress_struct* info = &job->info;
    info->err = jpeg_std_error(&job->error.pub);
    job->error.pub.error_exit = OnError;
    job->error.pub.emit_message = OnMessage;
    job->error.pub.output_message = Silent;
    job->error.failed = false;
    if (setjmp(job->error.jump) != 0) {
        jpeg_destroy_decompress(info);
        return false;
    }
    jpeg_create_decompress(info);
    jpeg_mem_src(info, data, size);
    jpeg_read_header(info, TRUE);
    info->out_color_space = JCS_RGB;
    if (info->image_width > kMaxSide || info->image_height > kMaxSide) {
        std::snprintf(job->error.message, sizeof job->error.message, "Picture too large (%u x %u)",
                      info->image_width, info->image_height);
        jpeg_destroy_decompress(info);
        return false;
    }
    jpeg_start_decompress(info);
    job->image = QImage(static_cast<int>(info->output_width), static_cast<int>(info->output_height),
                        QImage::Format_RGB888);
    if (job->image.isNull() || info->output_components != 3) {
        std::snprintf(job->error.message, sizeof job->error.message, "Unsupported picture");
        jpeg_destroy_decompress(info);
        return false;
    }
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = job->image.scanLine(static_cast<int>(info->output_scanline));
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    jpeg_destroy_decompress(info);
    return true;
}

QString Describe(const QString& name, const char* reason) {
    const QString what = QString::fromLocal8Bit(reason);
    return name.isEmpty() ? QStringLiteral("Cannot read picture: %1").arg(what)
                          : QStringLiteral("Cannot read picture \"%1\": %2").arg(name, what);
}

} // namespace

QImage DecodeJpeg(const QByteArray& bytes, const QString& name) {
    if (bytes.isEmpty()) {
        throw PictureError(Describe(name, "Empty input file").toStdString());
    }
    auto job = std::make_unique<Job>();
    if (!Decode(job.get(), reinterpret_cast<const unsigned char*>(bytes.constData()),
                static_cast<unsigned long>(bytes.size()))) {
        throw PictureError(Describe(name, job->error.message).toStdString());
    }
    return std::move(job->image);
}

QImage LoadJpeg(const QString& path) {
    QFile file(path);
    const QString name = QFileInfo(path).fileName();
    if (!file.open(QIODevice::ReadOnly)) {
        throw PictureError(
            Describe(name, file.errorString().toLocal8Bit().constData()).toStdString());
    }
    return DecodeJpeg(file.readAll(), name);
}

} // namespace qarvel::ui
