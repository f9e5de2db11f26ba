#pragma once

#include <QIcon>
#include <QImage>

namespace qarvel::ui {

// Makes the pictures (":/pictures/...") readable; the first call registers
// them, later calls do nothing.
void RegisterPictures();

// The program's icon (":/pictures/icon.png"), read once for the whole program;
// a null image when it cannot be read.
const QImage& ProgramIcon();
// The same at twice the size (":/pictures/icon@2x.png"), for scaled screens.
const QImage& ProgramIcon2x();
// Both sizes, for the window system.
QIcon ProgramIconSet();

} // namespace qarvel::ui
