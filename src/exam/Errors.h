#pragma once

#include <stdexcept>
#include <string>

namespace qarvel::exam {

// Every error the examinee may see is an ExamError whose what() is the exact
// message (UTF-8). The window shows any uncaught one in the application's error box.
class ExamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "'%s' is not a valid time"
class ConvertError : public ExamError {
public:
    using ExamError::ExamError;
};

// "Cannot open file "%s". %s"
class FileOpenError : public ExamError {
public:
    using ExamError::ExamError;
};

// "Failed to Load Stream"
class LoadStreamError : public ExamError {
public:
    LoadStreamError() : ExamError("Failed to Load Stream") {}
};

// "Floating point division by zero"
class ZeroDivideError : public ExamError {
public:
    ZeroDivideError() : ExamError("Floating point division by zero") {}
};

// "Invalid floating point operation"
class InvalidOpError : public ExamError {
public:
    InvalidOpError() : ExamError("Invalid floating point operation") {}
};

// "Not enough timers available"
class TimerError : public ExamError {
public:
    TimerError() : ExamError("Not enough timers available") {}
};

} // namespace qarvel::exam
