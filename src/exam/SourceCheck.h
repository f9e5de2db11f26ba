#pragma once

#include "SourceCount.h"
#include "SourceFile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qarvel::exam {

// What may make a source text other than the teacher meant.
enum class SourceWarning : std::uint8_t {
    LostCharacters, // characters outside GBK, shown as "?"
    Undecodable,    // bytes of a GBK file that form no character, shown as "�"
    OtherEncoding,  // the file is probably in another encoding (see `likely`)
    LatinUtf8AsGbk, // UTF-8 with accented letters but no Chinese: read as GBK
    Binary,         // a Word document or another binary file, not text
    BrokenRichText, // begins like RTF but is not: its markup is shown as text
    Empty,          // nothing to type
    NoHanzi,        // no Chinese character: complete at the first keystroke
};

// The encoding a file read as GBK was probably written in.
enum class LikelyEncoding : std::uint8_t { None, Latin1, Big5, Utf16LeNoMark, Utf16BeNoMark };

// Bytes of a GBK file that form no character: the view's line (from 1), the
// bytes in hex, and the character they are in the likely encoding (UTF-8;
// empty when unknown).
struct UndecodableBytes {
    int line = 0;
    std::string hex;
    std::string meant;
    bool operator==(const UndecodableBytes&) const = default;
};

// How many findings of each kind a report lists; the rest are only counted.
inline constexpr std::size_t kListedFindings = 40;

// The source text as the exam window will load it, and what is wrong with it.
struct SourceReport {
    SourceEncoding encoding = SourceEncoding::Gbk;
    bool richText = false;
    LikelyEncoding likely = LikelyEncoding::None;
    SourceCounts counts; // the window's three source counters
    int lines = 0;       // lines as an editor counts them (a final line break ends the last line)
    std::vector<LostCharacter> lost;           // shown as "?": the first kListedFindings
    std::size_t lostCount = 0;                 // all of them
    std::vector<UndecodableBytes> undecodable; // shown as "�": the first kListedFindings
    std::size_t undecodableCount = 0;          // all of them
    std::vector<SourceWarning> warnings;       // in the order above, each at most once
};

// Reads up to `size` bytes of the file from `offset`; 0 at the end.
using SourceReader =
    std::function<std::size_t(std::uint64_t offset, char* buffer, std::size_t size)>;

// Looks at a file's bytes the way LoadSourceFile and CountSource take them, a
// block at a time (twice: first to tell the encoding, then to read the text),
// so memory stays bounded whatever the file's size. A rich-text file is the
// exception: its text is read whole.
SourceReport CheckSource(const SourceReader& read, std::size_t blockSize = std::size_t{1} << 20);
SourceReport CheckSource(std::string_view fileBytes, std::size_t blockSize = std::size_t{1} << 20);
// The file at `path`, opened as the exam window opens it. Throws FileOpenError
// or LoadStreamError.
SourceReport CheckSourceFile(const std::string& path);

} // namespace qarvel::exam
