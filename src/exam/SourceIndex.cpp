#include "SourceIndex.h"

#include "Gbk.h"

#include <algorithm>

namespace qarvel::exam {

const std::string SourceIndex::kEmpty;

void SourceIndex::reset(const std::string& bytes) {
    bytes_ = &bytes;
    size_ = bytes.size();
    indexed_ = 0;
    complete_ = false;
    characters_ = 0;
    checkpoints_.clear();
    checkpoints_.reserve((size_ + kStretch - 1) / kStretch);
    starts_.assign(1, 0);
    lastByte_ = 0;
    lastPosition_ = 0;
}

bool SourceIndex::indexSlice(std::size_t slice) {
    if (complete_) {
        return true;
    }
    // Where the stretches' first characters and the paragraphs are.
    const std::size_t until = std::min(indexed_ + slice, size_);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes_->data());
    std::size_t i = indexed_;
    int position = characters_;
    while (i < until) {
        if (i >= checkpoints_.size() * kStretch) {
            // The first character of a stretch: at its first byte or its second.
            checkpoints_.push_back(position * 2 + static_cast<std::int32_t>(i % kStretch));
        }
        const unsigned char b = data[i];
        if (b < 0x80 && b != '\r' && b != '\n') {
            ++i;
            ++position;
            continue;
        }
        i += groupSize(i);
        ++position;
        if (b == '\r' || b == '\n') {
            starts_.push_back(position);
        }
    }
    indexed_ = i;
    characters_ = position;
    if (indexed_ < size_) {
        return false;
    }
    complete_ = true;
    if (checkpoints_.size() * kStretch < size_) {
        // The last stretch begins at the second byte of the last character.
        checkpoints_.push_back(characters_ * 2 + 1);
    }
    starts_.push_back(characters_ + 1);
    starts_.shrink_to_fit();
    return true;
}

std::size_t SourceIndex::groupSize(std::size_t offset) const {
    // A lead byte and the byte after it, or CR LF, are one character.
    const auto* data = reinterpret_cast<const unsigned char*>(bytes_->data());
    const unsigned char b = data[offset];
    const bool pair =
        offset + 1 < size_ && (IsLeadByte(b) || (b == '\r' && data[offset + 1] == '\n'));
    return pair ? 2 : 1;
}

int SourceIndex::positionAt(int offset) const {
    if (offset < 0 || static_cast<std::size_t>(offset) >= size_) {
        return -1;
    }
    const auto at = static_cast<std::size_t>(offset);
    // Read on from the stretch's first character, or from the character found
    // last when that is nearer.
    const std::int32_t first = checkpoints_[at / kStretch];
    std::size_t byte = at / kStretch * kStretch + static_cast<std::size_t>(first & 1);
    int position = first >> 1;
    if (lastByte_ <= at && lastByte_ > byte) {
        byte = lastByte_;
        position = lastPosition_;
    }
    while (byte < at) {
        const std::size_t size = groupSize(byte);
        if (byte + size > at) {
            break; // `at` is its second byte
        }
        byte += size;
        ++position;
    }
    lastByte_ = byte;
    lastPosition_ = position;
    // The second byte of a group addresses the character after it (when the
    // stretch begins at such a byte, `byte` is past it with that character).
    if (byte < at) {
        ++position;
    }
    return position < characters_ ? position : -1;
}

std::size_t SourceIndex::byteOf(int position) const {
    if (position >= characters_) {
        return size_;
    }
    position = std::max(position, 0);
    // The last stretch whose first character is at or before `position`.
    const auto it = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), position,
                                     [](int p, std::int32_t entry) { return p < (entry >> 1); });
    const auto index =
        static_cast<std::size_t>(std::max<std::ptrdiff_t>(it - checkpoints_.begin() - 1, 0));
    const std::int32_t first = checkpoints_[index];
    std::size_t byte = index * kStretch + static_cast<std::size_t>(first & 1);
    for (int at = first >> 1; at < position; ++at) {
        byte += groupSize(byte);
    }
    return byte;
}

int SourceIndex::paragraphOf(int position) const {
    const auto it = std::upper_bound(starts_.begin(), starts_.end() - 1, std::max(position, 0));
    return static_cast<int>(it - starts_.begin()) - 1;
}

} // namespace qarvel::exam
