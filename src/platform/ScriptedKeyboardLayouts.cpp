#include "ScriptedKeyboardLayouts.h"

#include <algorithm>

namespace qarvel::platform {

ScriptedKeyboardLayouts::ScriptedKeyboardLayouts(std::vector<Layout> layouts)
    : layouts_(std::move(layouts)) {}

const ScriptedKeyboardLayouts::Layout* ScriptedKeyboardLayouts::find(LayoutHandle handle) const {
    const auto it = std::find_if(layouts_.begin(), layouts_.end(),
                                 [handle](const Layout& l) { return l.handle == handle; });
    return it == layouts_.end() ? nullptr : &*it;
}

std::vector<LayoutHandle> ScriptedKeyboardLayouts::loadedLayouts(int capacity) {
    lastCapacity_ = capacity;
    std::vector<LayoutHandle> handles;
    for (const Layout& l : layouts_) {
        if (static_cast<int>(handles.size()) >= capacity) {
            break;
        }
        handles.push_back(l.handle);
    }
    return handles;
}

bool ScriptedKeyboardLayouts::isInputMethod(LayoutHandle layout) {
    const Layout* l = find(layout);
    return l != nullptr && l->inputMethod;
}

std::optional<std::string> ScriptedKeyboardLayouts::layoutText(LayoutHandle layout) {
    const Layout* l = find(layout);
    return l != nullptr ? l->gbkName : std::nullopt;
}

bool ScriptedKeyboardLayouts::activate(LayoutHandle layout) {
    activations_.push_back(layout);
    return activationSucceeds_ && find(layout) != nullptr;
}

} // namespace qarvel::platform
