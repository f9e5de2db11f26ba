#include "CommitKeys.h"

namespace qarvel::exam {

void CommitKeys::KeyPressed(std::int64_t ms) {
    if (unpaid_.size() == kMaxUnpaid) {
        unpaid_.pop_front();
    }
    unpaid_.push_back(ms);
}

void CommitKeys::KeyReachedBox() {
    // The oldest: keys after it may still be on their way through the input method.
    if (!unpaid_.empty()) {
        unpaid_.pop_front();
    }
}

bool CommitKeys::PayCommit(bool endsComposition, std::int64_t ms) {
    if (!endsComposition) {
        DropOlderThan(ms - kInFlightMs);
    }
    if (unpaid_.empty()) {
        return false;
    }
    unpaid_.pop_front();
    DropOlderThan(ms - kInFlightMs);
    return true;
}

void CommitKeys::DropOlderThan(std::int64_t ms) {
    while (!unpaid_.empty() && unpaid_.front() < ms) {
        unpaid_.pop_front();
    }
}

} // namespace qarvel::exam
