#pragma once

#include <QImage>

class QLabel;

namespace qarvel::ui {

// Bold text of `label` stays bold on screens that scale the windows (1.5x,
// 2x): there the label draws its text at the screen's own pixel size. The
// Song face has no bold of its own, and the bold made from it at the
// windows' size, then scaled, is scarcely bolder than plain text. Nothing
// changes where the scale is 1 or the label's font is not bold.
void KeepBoldAtEveryScale(QLabel* label);

// Shows `normal` in `label`, scaled to the label, and `doubled`, the same
// picture at twice the size, instead where the screen's scale is above 1, so
// the picture stays sharp. A null `doubled` leaves the normal one everywhere.
void SetPicture(QLabel* label, const QImage& normal, const QImage& doubled);

} // namespace qarvel::ui
