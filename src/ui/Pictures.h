#pragma once

#include <QImage>

namespace qarvel::ui {

// The program's icon (":/pictures/icon.png"), read once for the whole program;
// a null image when it cannot be read.
const QImage& ProgramIcon();

} // namespace qarvel::ui
