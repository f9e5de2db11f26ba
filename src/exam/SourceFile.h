#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qarvel::exam {

inline constexpr const char* kSourcePath = "vexo/2.txt";
// The largest source we read. Keeps a character device (/dev/zero) or a runaway
// file from eating all memory, and every length well inside 32 bits.
inline constexpr std::size_t kMaxSourceBytes = std::size_t{256} << 20;

// Loads the source text file as the source view shows it: GBK bytes with every
// line break CR LF. Rich text ({\rtf...) is read for its text; UTF-8 / UTF-16
// files are converted to GBK. Throws FileOpenError or LoadStreamError.
// `seeBytes`, when given, is shown the file's bytes as read, before any
// conversion (the one read of the file: its fingerprint comes from them).
std::string LoadSourceFile(const std::string& path = kSourcePath,
                           const std::function<void(std::string_view)>& seeBytes = {});

// How a file's bytes are read before they reach the view: as GBK as they are,
// or converted from UTF-8 / UTF-16 / UTF-32 (with or without a byte-order mark).
enum class SourceEncoding : std::uint8_t { Gbk, Utf8, Utf8Bom, Utf16Le, Utf16Be, Utf32Le, Utf32Be };
SourceEncoding DetectEncoding(std::string_view fileBytes);
// The length of the byte-order mark that `encoding` begins with (0 for none).
std::size_t ByteOrderMarkSize(SourceEncoding encoding);

// A character of the file that the view cannot show and shows as "?": its
// line (from 1) in the view's text and the character itself (UTF-8).
struct LostCharacter {
    int line = 0;
    std::string text;
    bool operator==(const LostCharacter&) const = default;
};

// Reads the whole file, as LoadSourceFile does. Throws FileOpenError or LoadStreamError.
std::string ReadSourceBytes(const std::string& path);
// Opens the file for reading as ReadSourceBytes does, with its checks (a regular
// file, not too large for the exam window) and its errors; the caller closes
// the descriptor. `size`: the size the system reports, a hint only.
int OpenSourceFile(const std::string& path, std::uint64_t* size = nullptr);
// The path as the system tries it and as the open errors name it: a relative
// one after the working directory, "." components dropped.
std::string FullSourcePath(const std::string& path);

// The pieces, for tests, the checker and fuzzing.
// Cuts at the first NUL, drops a final CR, turns lone CR and lone LF into CR LF.
std::string NormaliseLineBreaks(std::string_view block);
// Converts a file's bytes to GBK when they carry a UTF-8/UTF-16 byte-order mark
// or are valid UTF-8 with multi-byte sequences; otherwise returns them as they are.
std::string DecodeToGbk(std::string_view fileBytes);
// Reads RTF and returns its text (GBK, CR LF), or false when it is malformed.
// With `lost`, the characters of \uN escapes that GBK lacks are added to it.
bool ReadRichText(std::string_view rtf, std::string& text,
                  std::vector<LostCharacter>* lost = nullptr);
// Everything after reading the file: decoding, line breaks, rich or plain text.
std::string SourceTextFromBytes(std::string_view fileBytes);

} // namespace qarvel::exam
