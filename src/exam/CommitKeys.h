#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace qarvel::exam {

// Which input-method commits answer real key presses. An input method commits
// only in answer to keys: pinyin letters compose and the key that ends the
// composition (space, a number key, Enter, punctuation) commits it, sometimes
// followed on the same key by the punctuation itself; punctuation and
// full-width digits typed alone commit on their own key. Both fcitx5 and ibus
// answer asynchronously, so keys typed quickly may all arrive before the first
// commit does. Hence:
//  - every real key press that reaches the box is unpaid until it pays for a
//    commit, or reaches the box itself (no input method took it: it answered
//    itself);
//  - a commit is paid by one unpaid key, or refused;
//  - a commit that ends a composition may be paid by a key of any age (the
//    composition's letters; a candidate chosen with the mouse comes long after
//    them); any other commit needs a key still in flight, pressed less than
//    kInFlightMs before it;
//  - once a commit is paid, keys older than kInFlightMs go unpaid for good.
// A second program that commits through the input method's bus thus commits
// nothing unless the examinee has pressed keys within kInFlightMs, and never
// more than one commit per key press.
class CommitKeys {
public:
    // Longer than an input method takes to answer a key on a busy machine
    // (tens of milliseconds as measured; seconds under heavy load), short
    // enough that keys left over from typing soon pay for nothing.
    static constexpr std::int64_t kInFlightMs = 1500;
    static constexpr std::size_t kMaxUnpaid = 512;

    // A real key press reached the box at `ms` (a monotonic clock).
    void KeyPressed(std::int64_t ms);
    // A key event reached the box itself rather than an input method.
    void KeyReachedBox();
    // Whether a commit arriving at `ms` is paid for; pays it if so.
    bool PayCommit(bool endsComposition, std::int64_t ms);
    // The box took no input for a while: the keys of that time pay for nothing.
    void Forget() { unpaid_.clear(); }
    [[nodiscard]] std::size_t unpaid() const { return unpaid_.size(); }

private:
    void DropOlderThan(std::int64_t ms);
    std::deque<std::int64_t> unpaid_; // press times, oldest first
};

} // namespace qarvel::exam
