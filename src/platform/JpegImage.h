#pragma once

#include "exam/Errors.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace qarvel::platform {

// A picture that cannot be read; the message names the picture and libjpeg's reason.
class PictureError : public exam::ExamError {
public:
    using ExamError::ExamError;
};

// Decodes a baseline or progressive JPEG with libjpeg into an RGB888 image.
// Anything libjpeg finds wrong, warnings about corrupt data included, throws
// PictureError with libjpeg's message; `name` goes into the message.
QImage DecodeJpeg(const QByteArray& bytes, const QString& name = QString());

// Reads a JPEG from a file or a Qt resource (":/...") and decodes it.
QImage LoadJpeg(const QString& path);

} // namespace qarvel::platform
