#pragma once

#include <string>
#include <string_view>

namespace qarvel::exam {

inline constexpr const char* kSourcePath = "vexo/2.txt";

// Loads the source text file as the source view shows it: GBK bytes with every
// line break CR LF. Rich text ({\rtf...) is read for its text; UTF-8 / UTF-16
// files are converted to GBK. Throws FileOpenError or LoadStreamError.
std::string LoadSourceFile(const std::string& path = kSourcePath);

// The pieces, for tests and fuzzing.
// Cuts at the first NUL, drops a final CR, turns lone CR and lone LF into CR LF.
std::string NormaliseLineBreaks(std::string_view block);
// Converts a file's bytes to GBK when they carry a UTF-8/UTF-16 byte-order mark
// or are valid UTF-8 with multi-byte sequences; otherwise returns them as they are.
std::string DecodeToGbk(std::string_view fileBytes);
// Reads RTF and returns its text (GBK, CR LF), or false when it is malformed.
bool ReadRichText(std::string_view rtf, std::string& text);
// Everything after reading the file: decoding, line breaks, rich or plain text.
std::string SourceTextFromBytes(std::string_view fileBytes);

} // namespace qarvel::exam
