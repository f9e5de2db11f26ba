#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qarvel::exam {

// Where the characters and paragraphs of a GBK source text are, as the source
// view shows them: a byte from 129 to 254 and the byte after it are one
// character, a CR LF line break is one character (a paragraph break), every
// other byte is a character by itself; a lone CR or LF breaks a paragraph too.
//
// It reads the caller's bytes and keeps no copy: per paragraph its first
// character, and a checkpoint every few hundred bytes from which bytes and
// characters are counted. It can be built a slice at a time (in idle time);
// the queries below need the whole text indexed.
class SourceIndex {
public:
    // Bytes indexed at a time by default.
    static constexpr std::size_t kSlice = 256 * 1024;

    // Starts over on `bytes`, nothing indexed yet. The string (the object; its
    // buffer may move with it) must live and keep its text while indexed or read.
    void reset(const std::string& bytes);
    // Indexes up to `slice` more bytes; true once the whole text is indexed.
    bool indexSlice(std::size_t slice = kSlice);
    void indexAll() {
        while (!indexSlice()) {
        }
    }
    [[nodiscard]] bool complete() const { return complete_; }
    [[nodiscard]] std::size_t indexedBytes() const { return indexed_; }

    [[nodiscard]] const std::string& bytes() const { return *bytes_; }
    [[nodiscard]] std::size_t byteCount() const { return size_; }
    [[nodiscard]] int characterCount() const { return characters_; }
    // Bytes of the character beginning at `offset`: 2 for a lead byte followed
    // by a byte, or CR LF; 1 otherwise.
    [[nodiscard]] std::size_t groupSize(std::size_t offset) const;
    // The position of the character that byte `offset` addresses: the one
    // beginning at it, or, on the second byte of a character, the one beginning
    // right after it. -1 when no character is addressed.
    [[nodiscard]] int positionAt(int offset) const;
    // The byte where the character at `position` begins (the byte count past the last).
    [[nodiscard]] std::size_t byteOf(int position) const;
    // Calls visit(first byte, its group's size in bytes) for each character of
    // [from, to), which must be characters of the text.
    template <typename Visit> void forEachCharacter(int from, int to, Visit&& visit) const {
        const auto* data = reinterpret_cast<const unsigned char*>(bytes_->data());
        std::size_t i = byteOf(from);
        for (int n = from; n < to; ++n) {
            const unsigned char b = data[i];
            const std::size_t size = b < 0x80 && b != '\r' && b != '\n' ? 1 : groupSize(i);
            visit(data + i, size);
            i += size;
        }
    }

    // Paragraphs: the text's line breaks plus one.
    [[nodiscard]] int paragraphCount() const { return static_cast<int>(starts_.size()) - 1; }
    [[nodiscard]] int paragraphOf(int position) const;
    [[nodiscard]] int paragraphStart(int paragraph) const {
        return starts_[static_cast<std::size_t>(paragraph)];
    }
    // Characters of a paragraph, its line break not counted.
    [[nodiscard]] int paragraphLength(int paragraph) const {
        return starts_[static_cast<std::size_t>(paragraph) + 1] - paragraphStart(paragraph) - 1;
    }

    // Bytes the index itself takes.
    [[nodiscard]] std::size_t bytesUsed() const {
        return (starts_.capacity() + checkpoints_.capacity()) * sizeof(std::int32_t);
    }

private:
    // Checkpoints a stretch of kStretch bytes apart: for each stretch, twice the
    // position of the first character beginning in it, plus one when that
    // character begins at its second byte (its first byte being the second of
    // a two-byte character). Within a stretch the bytes are read.
    static constexpr std::size_t kStretch = 512;

    static const std::string kEmpty;
    const std::string* bytes_ = &kEmpty;
    std::size_t size_ = 0;
    std::size_t indexed_ = 0;
    bool complete_ = true;
    int characters_ = 0;
    std::vector<std::int32_t> checkpoints_;
    // The first character of each paragraph, and one past the last paragraph,
    // as if a line break ended the text.
    std::vector<std::int32_t> starts_{0, 1};
    // The character found last, where the next search may start: marks go
    // forward a character at a time. Only a shortcut, so finding may keep it.
    mutable std::size_t lastByte_ = 0;
    mutable int lastPosition_ = 0;
};

} // namespace qarvel::exam
