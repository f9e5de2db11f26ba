#include "Palette.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

namespace qarvel::ui {
namespace {

// The style every window is drawn in: Qt's own, always built in.
constexpr const char* kStyle = "Fusion";

} // namespace

QPalette ProgramPalette() {
    // Fusion's standard palette is its light one. Each role is copied into a
    // fresh palette one by one, which marks every role as the program's own:
    // a later palette from the desktop's theme cannot replace any of them.
    QStyle* style = QStyleFactory::create(QLatin1String(kStyle));
    const QPalette light = style != nullptr ? style->standardPalette() : QPalette(Qt::lightGray);
    delete style;
    QPalette palette;
    for (int g = 0; g < QPalette::NColorGroups; ++g) {
        const auto group = static_cast<QPalette::ColorGroup>(g);
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            const auto role = static_cast<QPalette::ColorRole>(r);
            palette.setBrush(group, role, light.brush(group, role));
        }
    }
    return palette;
}

void UseProgramLook() {
    if (QStyle* style = QStyleFactory::create(QLatin1String(kStyle))) {
        QApplication::setStyle(style); // the application takes it
    }
    QApplication::setPalette(ProgramPalette());
}

} // namespace qarvel::ui
