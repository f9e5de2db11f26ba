#pragma once

#include <QString>
#include <ostream>

// Qt texts in test messages.
inline std::ostream& operator<<(std::ostream& os, const QString& text) {
    return os << text.toStdString();
}
