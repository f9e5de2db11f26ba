#pragma once

namespace qarvel::ui {

// The accessibility of the exam window's two text views, the answer box and the
// source view. Screen readers read them as before (the text, the caret, and each
// character's colour and underline as "fg-color" and "underline" attributes),
// but nothing edits them this way: no insert, delete, replace or set-contents
// request changes either view, neither caret nor selection can be set, and text
// the program's own process puts on a clipboard (the accessibility bus's copy
// and cut requests do) is taken off it at once.
//
// Installs this once; the exam window calls it before it makes the views.
void InstallTextViewAccessibility();

} // namespace qarvel::ui
