#pragma once

#include <QImage>

namespace qarvel::ui {

// Makes the pictures (":/pictures/...") readable; the first call registers
// them, later calls do nothing.
void RegisterPictures();

// The program's icon (":/pictures/icon.png"), read once for the whole program;
// a null image when it cannot be read.
const QImage& ProgramIcon();

} // namespace qarvel::ui
