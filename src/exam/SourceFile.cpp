#include "SourceFile.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace qarvel::exam {
namespace {

// NormaliseLineBreaks in the text's own buffer: it grows by one byte for each
// lone CR or LF, and the text is moved up from the back, a run at a time.
void NormaliseLineBreaksInPlace(std::string& text) {
    if (const void* nul = std::memchr(text.data(), '\0', text.size())) {
        text.resize(static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()));
    }
    if (text.ends_with('\r')) {
        text.pop_back();
    }
    // The next CR or LF from `from` on (or `end`), found a run of text at a time.
    const auto next = [](const char* from, const char* end, char c) {
        const void* hit = std::memchr(from, c, static_cast<std::size_t>(end - from));
        return hit != nullptr ? static_cast<const char*>(hit) : end;
    };
    // Lone breaks: a CR without LF after it, an LF without CR before it.
    std::size_t lone = 0;
    {
        const char* const end = text.data() + text.size();
        for (const char* p = next(text.data(), end, '\r'); p != end; p = next(p + 1, end, '\r')) {
            lone += p + 1 == end || p[1] != '\n' ? 1U : 0U;
        }
        for (const char* p = next(text.data(), end, '\n'); p != end; p = next(p + 1, end, '\n')) {
            lone += p == text.data() || p[-1] != '\r' ? 1U : 0U;
        }
    }
    if (lone == 0) {
        return;
    }
    const std::size_t size = text.size();
    text.resize(size + lone);
    char* const base = text.data();
    // From the back: `read` is the end of what is still to move, `write` the
    // end of where it goes; a break found becomes CR LF in place.
    std::size_t read = size;
    std::size_t write = size + lone;
    const auto previous = [base](std::size_t before, char c) -> std::size_t {
        const std::size_t hit = std::string_view(base, before).rfind(c);
        return hit != std::string_view::npos ? hit + 1 : 0; // one past the hit; 0 for none
    };
    std::size_t cr = previous(read, '\r');
    std::size_t lf = previous(read, '\n');
    while (write != read) {
        if (cr > read) {
            cr = previous(read, '\r');
        }
        if (lf > read) {
            lf = previous(read, '\n');
        }
        const std::size_t after = std::max(cr, lf); // just past the last break, or 0
        const std::size_t run = read - after;
        write -= run;
        std::memmove(base + write, base + after, run);
        read = after;
        // The break itself (all lone breaks lie before here while write != read).
        --read;
        if (base[read] == '\n' && read > 0 && base[read - 1] == '\r') {
            --read;
        }
        write -= 2;
        base[write] = '\r';
        base[write + 1] = '\n';
    }
}

// SourceTextFromBytes, taking the bytes: a GBK file's text is made in their buffer.
std::string TakeSourceText(std::string&& fileBytes) {
    std::string text = DecodeToGbk(std::move(fileBytes));
    std::string().swap(fileBytes); // a converted file's bytes go before the text is worked on
    NormaliseLineBreaksInPlace(text);
    if (text.starts_with("{\\rtf")) {
        std::string rich;
        if (ReadRichText(text, rich)) {
            return rich;
        }
    }
    return text;
}

} // namespace

std::string NormaliseLineBreaks(std::string_view block) {
    std::string text(block);
    NormaliseLineBreaksInPlace(text);
    return text;
}

std::string SourceTextFromBytes(std::string_view fileBytes) {
    return TakeSourceText(std::string(fileBytes));
}

std::string LoadSourceFile(const std::string& path,
                           const std::function<void(std::string_view)>& seeBytes) {
    std::string bytes = ReadSourceBytes(path);
    if (seeBytes) {
        seeBytes(bytes);
    }
    std::string text = TakeSourceText(std::move(bytes));
    // The read buffer is 64 kB at least and the text lives for the whole exam:
    // a short text does not keep the rest (a long one fills its buffer).
    if (text.capacity() - text.size() > text.size()) {
        text.shrink_to_fit();
    }
    return text;
}

} // namespace qarvel::exam
