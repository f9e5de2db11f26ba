#pragma once

#include <QFont>
#include <QString>

namespace qarvel::ui {

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

// "宋体" at a character height of `pixels`, as the layouts give font sizes.
QFont SongFont(int pixels, bool bold = false);

} // namespace qarvel::ui
