#pragma once

class QTextDocument;

namespace qarvel::ui {

// Lines as a text view shows them: each block (paragraph) of the document broken
// at the view's width, numbered from 0 over the whole document. Works on the
// document of a QPlainTextEdit or a QTextEdit; blocks not yet laid out are laid
// out on demand. Any input-method pre-edit text shown in a line is not part of it.

// The longest line the rules read, in bytes.
inline constexpr int kMaxLineBytes = 4096;

struct LinePosition {
    int line = 0;   // visual line number
    int column = 0; // GBK bytes from the start of that line
};

int VisualLineCount(const QTextDocument& document);

// GBK byte length of visual line `line`, without its line break; 0 for a line
// number outside the document; at most kMaxLineBytes.
int VisualLineByteLength(const QTextDocument& document, int line);

// The visual line holding document position `position` (a position where a
// wrapped line ends belongs to the line that starts there) and its byte column.
// A position outside the document is taken as the nearest end.
LinePosition VisualLineOf(const QTextDocument& document, int position);

} // namespace qarvel::ui
