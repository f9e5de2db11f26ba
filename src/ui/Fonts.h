#pragma once

#include "platform/Fonts.h"

#include <QFont>
#include <QGuiApplication>
#include <utility>

namespace qarvel::ui {

// The faces of the windows, chosen by the platform layer.
using platform::LatinFamily;
using platform::SongFamily;
using platform::SongFont;

// Qt's text controls (line edits, plain text edits) lay their text out once as
// they are made, in the application's default face, before they take the face
// they inherit or are given. Made through this, the default face for that
// moment is `font`, the control's own: no face is loaded that nothing shows.
template <class Control, class... Args> Control* MakeInFace(const QFont& font, Args&&... args) {
    struct Restore {
        QFont standard = QGuiApplication::font();
        ~Restore() { QGuiApplication::setFont(standard); }
    } restore;
    QGuiApplication::setFont(font);
    return new Control(std::forward<Args>(args)...);
}

} // namespace qarvel::ui
