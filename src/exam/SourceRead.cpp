#include "SourceRead.h"

#include "Errors.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qarvel::exam {
namespace {

// The system's text for an error code, without trailing blanks, line breaks or periods.
std::string ErrorText(int err) {
    std::string text = std::strerror(err);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n' || text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

// The path as the system tries it: a relative one is put after the working
// directory, and "." components are dropped ("..": the system resolves those).
std::string FullPath(const std::string& path) {
    std::string joined;
    if (!path.starts_with('/')) {
        std::array<char, 4096> cwd{};
        if (getcwd(cwd.data(), cwd.size()) == nullptr) {
            return path;
        }
        joined = cwd.data();
        if (!joined.ends_with('/')) {
            joined += '/';
        }
    }
    joined += path;

    std::string full;
    full.reserve(joined.size());
    std::size_t pos = 0;
    while (pos < joined.size()) {
        std::size_t end = joined.find('/', pos);
        if (end == std::string::npos) {
            end = joined.size();
        }
        const std::string_view part(joined.data() + pos, end - pos);
        if (part == ".") {
            if (end == joined.size() && !full.ends_with('/')) {
                full += '/';
            }
        } else if (!part.empty()) {
            if (!full.ends_with('/')) {
                full += '/';
            }
            full += part;
        }
        pos = end + 1;
    }
    if (full.empty() || joined.ends_with('/')) {
        if (!full.ends_with('/')) {
            full += '/';
        }
    }
    return full;
}

[[noreturn]] void ThrowOpenError(const std::string& path, const std::string& reason) {
    throw FileOpenError("Cannot open file \"" + FullPath(path) + "\". " + reason);
}

[[noreturn]] void ThrowOpenError(const std::string& path, int err) {
    ThrowOpenError(path, ErrorText(err));
}

class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Close(); }
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
};

} // namespace

std::string FullSourcePath(const std::string& path) {
    return FullPath(path);
}

int OpenSourceFile(const std::string& path, std::uint64_t* size) {
    // Non-blocking for the open itself: a FIFO without a writer must not hang us.
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.Get() < 0) {
        ThrowOpenError(path, errno);
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) {
        ThrowOpenError(path, errno);
    }
    // Only a regular file has an end we can count on: a FIFO, a device or a
    // socket may never end (or block the read), so none of them is read.
    if (S_ISDIR(info.st_mode)) {
        ThrowOpenError(path, EISDIR);
    }
    if (!S_ISREG(info.st_mode)) {
        ThrowOpenError(path, "Not a regular file");
    }
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxSourceBytes) {
        ThrowOpenError(path, EFBIG);
    }
    const int flags = ::fcntl(file.Get(), F_GETFL);
    if (flags >= 0) {
        ::fcntl(file.Get(), F_SETFL, flags & ~O_NONBLOCK);
    }
    if (size != nullptr) {
        *size = static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0));
    }
    return file.Release();
}

std::size_t ReadSourceAt(int fd, char* buffer, std::size_t size, std::uint64_t offset) {
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, size, static_cast<off_t>(offset));
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            throw LoadStreamError();
        }
    }
}

// Reads the whole file. Throws FileOpenError when it cannot be opened, is not a
// regular file or is too large, LoadStreamError when reading fails.
std::string ReadSourceBytes(const std::string& path) {
    std::uint64_t size = 0;
    FileHandle file(OpenSourceFile(path, &size));
    const auto hint = static_cast<std::size_t>(size);

    // The size is a hint only: files under /proc report 0, and a file may grow.
    std::string bytes;
    bytes.resize(std::max<std::size_t>(hint + 1, 64 * 1024));
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (bytes.size() > kMaxSourceBytes) {
                ThrowOpenError(path, EFBIG);
            }
            bytes.resize(std::min(bytes.size() * 2, kMaxSourceBytes + 1));
        }
        const ssize_t got = ::read(file.Get(), bytes.data() + used, bytes.size() - used);
        if (got == 0) {
            break;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw LoadStreamError();
        }
        used += static_cast<std::size_t>(got);
    }
    file.Close();
    if (used > kMaxSourceBytes) {
        ThrowOpenError(path, EFBIG);
    }
    bytes.resize(used);
    return bytes;
}

} // namespace qarvel::exam
