#pragma once

// The few iconv calls the program makes, for Windows, which has no iconv: the
// conversions go through the system's code pages (MultiByteToWideChar and
// WideCharToMultiByte), the Unicode forms are done by hand. Encodings known:
// GBK, GB18030, BIG5, ASCII, MACINTOSH, CPnnnn, UTF-8, UTF-16LE/BE, UTF-32LE/BE.
// As iconv does: (size_t)-1 with errno EILSEQ (a sequence that cannot be
// decoded, or a character the target cannot hold), EINVAL (a sequence cut off
// at the end of the input) or E2BIG (no room left), the pointers at the
// offending sequence.

#include <cstddef>

using iconv_t = void*;

iconv_t iconv_open(const char* to, const char* from);
std::size_t iconv(iconv_t cd, char** in, std::size_t* inLeft, char** out, std::size_t* outLeft);
int iconv_close(iconv_t cd);
