#pragma once

#include <cstdint>
#include <string>

namespace qarvel::exam {

// The largest source we read. Keeps a character device (/dev/zero) or a runaway
// file from eating all memory, and every length well inside 32 bits.
inline constexpr std::size_t kMaxSourceBytes = std::size_t{256} << 20;

// Reads the whole file, as LoadSourceFile does. Throws FileOpenError when it
// cannot be opened, is not a regular file or is too large, LoadStreamError
// when reading fails.
std::string ReadSourceBytes(const std::string& path);
// Opens the file for reading as ReadSourceBytes does, with its checks (a regular
// file, not too large for the exam window) and its errors; the caller closes
// the descriptor. `size`: the size the system reports, a hint only.
int OpenSourceFile(const std::string& path, std::uint64_t* size = nullptr);
// Reads up to `size` bytes at `offset` of a file OpenSourceFile opened; the
// bytes read (0 at the end). Throws LoadStreamError when reading fails.
std::size_t ReadSourceAt(int fd, char* buffer, std::size_t size, std::uint64_t offset);
// The path as the system tries it and as the open errors name it: a relative
// one after the working directory, "." components dropped.
std::string FullSourcePath(const std::string& path);

} // namespace qarvel::exam
