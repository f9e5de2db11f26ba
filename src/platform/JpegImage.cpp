#include "JpegImage.h"

#include <QFile>
#include <QFileInfo>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <memory>
#include <string>

#if defined(QARVEL_JPEG_SONAME)
#include "platform/SharedLibrary.h"
#endif

namespace qarvel::platform {
namespace {

// The few functions of libjpeg a decode calls. Where the build names the
// library's file (QARVEL_JPEG_SONAME), libjpeg is mapped only while pictures
// are decoded: the program decodes two small glyphs once, and the library's
// code would otherwise stay in memory for the whole exam.
struct JpegCalls {
    decltype(&jpeg_std_error) std_error = nullptr;
    decltype(&jpeg_CreateDecompress) create = nullptr;
    decltype(&jpeg_mem_src) mem_src = nullptr;
    decltype(&jpeg_read_header) read_header = nullptr;
    decltype(&jpeg_start_decompress) start = nullptr;
    decltype(&jpeg_read_scanlines) read_scanlines = nullptr;
    decltype(&jpeg_finish_decompress) finish = nullptr;
    decltype(&jpeg_destroy_decompress) destroy = nullptr;
};

#if defined(QARVEL_JPEG_SONAME)
// libjpeg, loaded while this lives (the loader counts the holders: the
// library goes when the last one closes it).
class JpegLibrary {
public:
    JpegLibrary() : library_(QARVEL_JPEG_SONAME, RTLD_NOW | RTLD_LOCAL) {
        if (!library_.loaded()) {
            error_ = library_.error();
            return;
        }
        const bool all = library_.find(calls_.std_error, "jpeg_std_error") &&
                         library_.find(calls_.create, "jpeg_CreateDecompress") &&
                         library_.find(calls_.mem_src, "jpeg_mem_src") &&
                         library_.find(calls_.read_header, "jpeg_read_header") &&
                         library_.find(calls_.start, "jpeg_start_decompress") &&
                         library_.find(calls_.read_scanlines, "jpeg_read_scanlines") &&
                         library_.find(calls_.finish, "jpeg_finish_decompress") &&
                         library_.find(calls_.destroy, "jpeg_destroy_decompress");
        if (!all) {
            error_ = QARVEL_JPEG_SONAME ": a function is missing";
        }
    }

    // Null when the library or one of its functions is missing (see error()).
    [[nodiscard]] const JpegCalls* calls() const { return error_.empty() ? &calls_ : nullptr; }
    [[nodiscard]] const std::string& error() const { return error_; }

private:
    platform::SharedLibrary library_;
    JpegCalls calls_;
    std::string error_;
};
#else
class JpegLibrary {
public:
    [[nodiscard]] const JpegCalls* calls() const { return &calls_; }
    [[nodiscard]] const std::string& error() const { return error_; }

private:
    JpegCalls calls_{jpeg_std_error,         jpeg_CreateDecompress,  jpeg_mem_src,
                     jpeg_read_header,       jpeg_start_decompress,  jpeg_read_scanlines,
                     jpeg_finish_decompress, jpeg_destroy_decompress};
    std::string error_;
};
#endif

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
bool Decode(const JpegCalls& jpeg, Job* job, const unsigned char* data, unsigned long size) {
    jpeg_decompress_struct* info = &job->info;
    info->err = jpeg.std_error(&job->error.pub);
    job->error.pub.error_exit = OnError;
    job->error.pub.emit_message = OnMessage;
    job->error.pub.output_message = Silent;
    job->error.failed = false;
    if (setjmp(job->error.jump) != 0) {
        jpeg.destroy(info);
        return false;
    }
    jpeg.create(info, JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct));
    jpeg.mem_src(info, data, size);
    jpeg.read_header(info, TRUE);
    info->out_color_space = JCS_RGB;
    if (info->image_width > kMaxSide || info->image_height > kMaxSide) {
        std::snprintf(job->error.message, sizeof job->error.message, "Picture too large (%u x %u)",
                      info->image_width, info->image_height);
        jpeg.destroy(info);
        return false;
    }
    jpeg.start(info);
    job->image = QImage(static_cast<int>(info->output_width), static_cast<int>(info->output_height),
                        QImage::Format_RGB888);
    if (job->image.isNull() || info->output_components != 3) {
        std::snprintf(job->error.message, sizeof job->error.message, "Unsupported picture");
        jpeg.destroy(info);
        return false;
    }
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = job->image.scanLine(static_cast<int>(info->output_scanline));
        jpeg.read_scanlines(info, &row, 1);
    }
    jpeg.finish(info);
    jpeg.destroy(info);
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
    const JpegLibrary library;
    const JpegCalls* jpeg = library.calls();
    if (jpeg == nullptr) {
        throw PictureError(Describe(name, library.error().c_str()).toStdString());
    }
    auto job = std::make_unique<Job>();
    if (!Decode(*jpeg, job.get(), reinterpret_cast<const unsigned char*>(bytes.constData()),
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

} // namespace qarvel::platform
