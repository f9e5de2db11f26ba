#pragma once

#include "SourceCount.h"
#include "SourceFile.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace qarvel::exam {

// What may make a source text other than the teacher meant.
enum class SourceWarning : std::uint8_t {
    LostCharacters, // characters outside GBK, shown as "?"
    Undecodable,    // bytes of a GBK file that form no character, shown as "�"
    LatinUtf8AsGbk, // UTF-8 with accented letters but no Chinese: read as GBK
    Binary,         // a Word document or another binary file, not text
    BrokenRichText, // begins like RTF but is not: its markup is shown as text
    Empty,          // nothing to type
    NoHanzi,        // no Chinese character: complete at the first keystroke
};

// The source text as the exam window will load it, and what is wrong with it.
struct SourceReport {
    SourceEncoding encoding = SourceEncoding::Gbk;
    bool richText = false;
    SourceCounts counts;                    // the window's three source counters
    int lines = 0;                          // lines of the view's text
    std::vector<LostCharacter> lost;        // shown as "?"
    std::vector<LostCharacter> undecodable; // shown as "�"; text: the bytes in hex
    std::vector<SourceWarning> warnings;    // in the order above, each at most once
};

// Looks at a file's bytes the way LoadSourceFile and CountSource take them.
SourceReport CheckSource(std::string_view fileBytes);

} // namespace qarvel::exam
