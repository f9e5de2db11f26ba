#pragma once

#include "platform/KeyboardLayoutService.h"

#include <QLocale>
#include <QString>
#include <string>
#include <vector>

namespace qarvel::platform {

struct InputMethodEntry {
    std::string gbkName; // the display name, GBK, at most 255 bytes
    QString text;        // the same name as Qt text, for a menu caption
    LayoutHandle layout = 0;
};

// The input methods of this desktop, sorted by name; built once at start-up
// and unchanged afterwards. Indexes run from 0 to count() - 1.
//
// At start-up (the service must live as long as the list):
//   layouts = platform::DetectKeyboardLayoutService();   // at most ~300 ms
//   list = platform::BuildInputMethodList(*layouts);
// then one menu item per entry i, captioned list.at(i).text and tagged i; a
// choice calls list.activate(tag).
class InputMethodList {
public:
    InputMethodList() = default; // empty, nothing to activate
    // `service` must outlive the list (it is used by activate()).
    InputMethodList(std::vector<InputMethodEntry> entries, KeyboardLayoutService* service);

    int count() const { return static_cast<int>(entries_.size()); }
    bool isEmpty() const { return entries_.empty(); }
    // Precondition: 0 <= index < count().
    const InputMethodEntry& at(int index) const;
    const std::vector<InputMethodEntry>& entries() const { return entries_; }

    // Makes entry `index` the active input method of this program. An index
    // out of range or a failed switch is ignored (returns false).
    bool activate(int index) const;

private:
    std::vector<InputMethodEntry> entries_;
    KeyboardLayoutService* service_ = nullptr;
};

// Builds the list: the first 64 loaded layouts, those that are input methods
// and have a display name of at most 255 GBK bytes (cut at its first NUL),
// sorted by name case-insensitively in `locale`'s collation (by default the
// user's locale). Entries with equal names are all kept.
InputMethodList BuildInputMethodList(KeyboardLayoutService& service,
                                     const QLocale& locale = QLocale());

} // namespace qarvel::platform
