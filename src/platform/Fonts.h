#pragma once

#include <QFont>
#include <QString>

namespace qarvel::platform {

// The windows are designed for the Chinese Song face ("宋体"). This machine may
// not have SimSun, so the face is chosen once through fontconfig:
//   1. SimSun when installed;
//   2. else an installed Song/Ming-style serif with simplified Chinese coverage
//      (AR PL UMing, Noto Serif CJK SC, Source Han Serif SC, ...);
//   3. else any installed font that covers simplified Chinese (WenQuanYi, ...).
// Empty only when no Chinese font at all is installed.
QString SongFamily();

// The same choice, made afresh (tests).
QString ChooseSongFamily();

// The Latin serif shown for letters, digits and Latin punctuation beside the
// Song face `song` (SongFamily()), whose own Latin glyphs may be poor (in AR PL
// UMing "l" looks like "1"): a Times-like serif when installed (Liberation
// Serif, ...), else another serif. Empty when the Song face's own Latin glyphs
// read right (SimSun, Noto Serif CJK, ...) or no Latin serif is installed.
QString LatinFamily();
QString ChooseLatinFamily(const QString& song);

// "宋体" at a character height of `pixels`, as the layouts give font sizes:
// the Latin face first, then the Song face, which draws every character the
// Latin face lacks (all of Chinese and its full-width punctuation).
QFont SongFont(int pixels, bool bold = false);

} // namespace qarvel::platform
