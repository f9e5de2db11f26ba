#include "InputMethodList.h"

#include "platform/GbkText.h"

#include <QCollator>
#include <cassert>
#include <utility>

namespace qarvel::platform {

namespace {

// Quicksort of v[lo..hi] (inclusive) by `less`, Hoare partition around the
// middle element. Recurses into the smaller part and loops on the larger, so
// the stack stays O(log n). Equal elements are all kept, in no defined order.
template <typename T, typename Less>
void QuickSort(std::vector<T>& v, std::ptrdiff_t lo, std::ptrdiff_t hi, const Less& less) {
    while (lo < hi) {
        const T pivot = v[static_cast<std::size_t>(lo + (hi - lo) / 2)];
        std::ptrdiff_t i = lo;
        std::ptrdiff_t j = hi;
        while (i <= j) {
            while (less(v[static_cast<std::size_t>(i)], pivot)) {
                ++i;
            }
            while (less(pivot, v[static_cast<std::size_t>(j)])) {
                --j;
            }
            if (i <= j) {
                std::swap(v[static_cast<std::size_t>(i)], v[static_cast<std::size_t>(j)]);
                ++i;
                --j;
            }
        }
        // v[lo..j] <= pivot <= v[i..hi]
        if (j - lo < hi - i) {
            QuickSort(v, lo, j, less);
            lo = i;
        } else {
            QuickSort(v, i, hi, less);
            hi = j;
        }
    }
}

} // namespace

InputMethodList::InputMethodList(std::vector<InputMethodEntry> entries,
                                 KeyboardLayoutService* service)
    : entries_(std::move(entries)), service_(service) {}

const InputMethodEntry& InputMethodList::at(int index) const {
    assert(index >= 0 && index < count());
    return entries_[static_cast<std::size_t>(index)];
}

bool InputMethodList::activate(int index) const {
    if (service_ == nullptr || index < 0 || index >= count()) {
        return false;
    }
    return service_->activate(entries_[static_cast<std::size_t>(index)].layout);
}

InputMethodList BuildInputMethodList(KeyboardLayoutService& service, const QLocale& locale) {
    std::vector<LayoutHandle> layouts = service.loadedLayouts(kMaxLoadedLayouts);
    if (layouts.size() > static_cast<std::size_t>(kMaxLoadedLayouts)) {
        layouts.resize(static_cast<std::size_t>(kMaxLoadedLayouts));
    }

    std::vector<InputMethodEntry> entries;
    for (const LayoutHandle layout : layouts) {
        if (!service.isInputMethod(layout)) {
            continue;
        }
        std::optional<std::string> name = service.layoutText(layout);
        // The name plus its terminating zero must fit the 256-byte buffer.
        if (!name || name->size() > kMaxLayoutTextBytes) {
            continue;
        }
        if (const auto nul = name->find('\0'); nul != std::string::npos) {
            name->resize(nul);
        }
        QString text = FromGbk(*name);
        entries.push_back({std::move(*name), std::move(text), layout});
    }

    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto byName = [&collator](const InputMethodEntry& a, const InputMethodEntry& b) {
        return collator.compare(a.text, b.text) < 0;
    };
    QuickSort(entries, 0, static_cast<std::ptrdiff_t>(entries.size()) - 1, byName);

    return InputMethodList(std::move(entries), &service);
}

} // namespace qarvel::platform
