#pragma once

// Loading the source text file; its pieces (reading the file, telling its
// encoding, reading rich text) have headers of their own, included here.
#include "RichText.h"
#include "SourceEncoding.h"
#include "SourceRead.h"

#include <functional>
#include <string>
#include <string_view>

namespace qarvel::exam {

inline constexpr const char* kSourcePath = "vexo/2.txt";

// Loads the source text file as the source view shows it: GBK bytes with every
// line break CR LF. Rich text ({\rtf...) is read for its text; UTF-8 / UTF-16
// files are converted to GBK. Throws FileOpenError or LoadStreamError.
// `seeBytes`, when given, is shown the file's bytes as read, before any
// conversion (the one read of the file: its fingerprint comes from them).
std::string LoadSourceFile(const std::string& path = kSourcePath,
                           const std::function<void(std::string_view)>& seeBytes = {});

// The pieces, for tests, the checker and fuzzing.
// Cuts at the first NUL, drops a final CR, turns lone CR and lone LF into CR LF.
std::string NormaliseLineBreaks(std::string_view block);
// Everything after reading the file: decoding, line breaks, rich or plain text.
std::string SourceTextFromBytes(std::string_view fileBytes);

} // namespace qarvel::exam
