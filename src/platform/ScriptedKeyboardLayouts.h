#pragma once

#include "platform/KeyboardLayoutService.h"

#include <optional>
#include <string>
#include <vector>

namespace qarvel::platform {

// A keyboard-layout service that plays back a fixed set of layouts and records
// every activation, for tests. (Without a desktop's input methods the windows
// use NoKeyboardLayouts.)
class ScriptedKeyboardLayouts final : public KeyboardLayoutService {
public:
    struct Layout {
        LayoutHandle handle = 0;
        bool inputMethod = true;
        std::optional<std::string> gbkName; // nullopt: no name
    };

    ScriptedKeyboardLayouts() = default;
    explicit ScriptedKeyboardLayouts(std::vector<Layout> layouts);

    void addLayout(Layout layout) { layouts_.push_back(std::move(layout)); }
    // What activate() reports; true by default.
    void setActivationSucceeds(bool succeeds) { activationSucceeds_ = succeeds; }

    const char* backendName() const override { return "scripted"; }
    std::vector<LayoutHandle> loadedLayouts(int capacity) override;
    bool isInputMethod(LayoutHandle layout) override;
    std::optional<std::string> layoutText(LayoutHandle layout) override;
    bool activate(LayoutHandle layout) override;

    // Every handle passed to activate(), in order.
    const std::vector<LayoutHandle>& activations() const { return activations_; }
    // The capacity of the last loadedLayouts() call (0 before any).
    int lastCapacity() const { return lastCapacity_; }

private:
    const Layout* find(LayoutHandle handle) const;

    std::vector<Layout> layouts_;
    std::vector<LayoutHandle> activations_;
    bool activationSucceeds_ = true;
    int lastCapacity_ = 0;
};

} // namespace qarvel::platform
