#include "Errors.h"
#include "SourceFile.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <utility>
#include <windows.h>

namespace qarvel::exam {
namespace {

// A path as the program has it (the bytes of the command line, in the ANSI
// code page) in UTF-16, as the system's wide calls take it.
std::wstring Wide(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    const int n =
        MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(std::max(n, 0)), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), n,
                        nullptr, nullptr);
    return narrow;
}

// The system's text for a Windows error code, without trailing blanks, line
// breaks or periods, in the ANSI code page.
std::string ErrorText(DWORD error) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message =
        n > 0 && text != nullptr ? std::string(text, n) : "Error " + std::to_string(error);
    LocalFree(text);
    while (!message.empty() &&
           (message.back() == ' ' || message.back() == '\t' || message.back() == '\r' ||
            message.back() == '\n' || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

std::string ErrnoText(int err) {
    std::string text = std::strerror(err);
    while (!text.empty() && (text.back() == ' ' || text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

std::string FullPath(const std::string& path) {
    const std::wstring wide = Wide(path);
    const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) {
        return path;
    }
    std::wstring full(n, L'\0');
    const DWORD got = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    full.resize(got < n ? got : 0);
    return full.empty() ? path : Narrow(full);
}

[[noreturn]] void ThrowOpenError(const std::string& path, const std::string& reason) {
    throw FileOpenError("Cannot open file \"" + FullPath(path) + "\". " + reason);
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    HANDLE Get() const { return handle_; }
    HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

private:
    HANDLE handle_;
};

} // namespace

std::string FullSourcePath(const std::string& path) {
    return FullPath(path);
}

int OpenSourceFile(const std::string& path, std::uint64_t* size) {
    // Others may go on writing and renaming it: the exam reads what is there.
    Handle file(CreateFileW(Wide(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        ThrowOpenError(path, ErrorText(GetLastError()));
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file.Get(), &info) == FALSE) {
        ThrowOpenError(path, ErrorText(GetLastError()));
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ThrowOpenError(path, ErrnoText(EISDIR));
    }
    // Only a file on a disk has an end we can count on (not a pipe, not a device).
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) {
        ThrowOpenError(path, "Not a regular file");
    }
    const std::uint64_t bytes = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
    if (bytes > kMaxSourceBytes) {
        ThrowOpenError(path, ErrnoText(EFBIG));
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file.Get()), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ThrowOpenError(path, ErrnoText(errno));
    }
    file.Release();
    if (size != nullptr) {
        *size = bytes;
    }
    return fd;
}

std::size_t ReadSourceAt(int fd, char* buffer, std::size_t size, std::uint64_t offset) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (ReadFile(handle, buffer, want, &got, &at) == FALSE) {
        if (GetLastError() == ERROR_HANDLE_EOF) {
            return 0;
        }
        throw LoadStreamError();
    }
    return got;
}

// Reads the whole file. Throws FileOpenError when it cannot be opened, is not a
// regular file or is too large, LoadStreamError when reading fails.
std::string ReadSourceBytes(const std::string& path) {
    std::uint64_t size = 0;
    const int fd = OpenSourceFile(path, &size);
    struct Closer {
        int fd;
        ~Closer() { _close(fd); }
    } closer{fd};
    // The size is a hint only: a file may grow while it is read.
    std::string bytes;
    bytes.resize(std::max<std::size_t>(static_cast<std::size_t>(size) + 1, 64 * 1024));
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (bytes.size() > kMaxSourceBytes) {
                ThrowOpenError(path, ErrnoText(EFBIG));
            }
            bytes.resize(std::min(bytes.size() * 2, kMaxSourceBytes + 1));
        }
        const std::size_t got = ReadSourceAt(fd, bytes.data() + used, bytes.size() - used, used);
        if (got == 0) {
            break;
        }
        used += got;
    }
    if (used > kMaxSourceBytes) {
        ThrowOpenError(path, ErrnoText(EFBIG));
    }
    bytes.resize(used);
    return bytes;
}

} // namespace qarvel::exam
