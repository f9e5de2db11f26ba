// The pages of font files that this process has mapped.
#pragma once

#include <cstddef>
#include <string_view>

namespace qarvel::platform {

// Whether a mapped file's path names a font file (TrueType, OpenType and their
// collections, Type 1, WOFF), by its extension, in any letter case.
bool IsFontFileName(std::string_view path);

// Lets go of the pages of the font files mapped read-only in this process. A
// glyph read from a mapped font brings in the pages around it too (up to 64 kB
// each time), so a screen of Chinese text holds megabytes of a face's file
// that nothing reads again once the glyphs are cached. The pages stay in the
// system's file cache: a later read maps them back without touching the disk,
// and the bytes read are the same. Returns the bytes of the mappings advised;
// 0 where this is not supported.
std::size_t ReleaseFontFilePages();

} // namespace qarvel::platform
