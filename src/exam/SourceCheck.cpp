#include "SourceCheck.h"

#include "Errors.h"
#include "ExamState.h"
#include "Gbk.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <unistd.h>

namespace qarvel::exam {
namespace {

using namespace std::string_view_literals;

// ---------------------------------------------------------------------------
// Lookups made once per character met.

// Whether a code point has a GBK character.
class GbkCoverage {
public:
    bool Has(std::uint32_t cp) {
        if (cp < 0x80) {
            return true;
        }
        std::int8_t& known = cp < 0x10000 ? basic_[cp] : others_[cp];
        if (known == 0) {
            std::string one;
            AppendUtf8(one, cp);
            known = Utf8ToGbk(one) != "?" ? 1 : -1;
        }
        return known > 0;
    }

private:
    std::vector<std::int8_t> basic_ = std::vector<std::int8_t>(0x10000, 0);
    std::map<std::uint32_t, std::int8_t> others_;
};

// Whether a lead byte and the byte after it decode as one GBK character.
class GbkPairs {
public:
    bool Decodes(unsigned char lead, unsigned char trail) {
        std::int8_t& known = known_[std::size_t{lead} << 8 | trail];
        if (known == 0) {
            const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
            known = GbkToUtf8(std::string_view(pair, 2)).find('?') == std::string::npos ? 1 : -1;
        }
        return known > 0;
    }

private:
    std::vector<std::int8_t> known_ = std::vector<std::int8_t>(0x10000, 0);
};

// The length of a UTF-8 sequence by its lead byte, as the converter skips it.
std::size_t SequenceLength(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// Where a block of UTF-8 may be cut so that no sequence is split: before the
// last sequence when it is not yet whole.
std::size_t Utf8Cut(std::string_view s) {
    for (std::size_t back = 1; back <= 4 && back <= s.size(); ++back) {
        const auto b = static_cast<unsigned char>(s[s.size() - back]);
        if ((b & 0xC0) != 0x80) {
            return b >= 0xC0 && SequenceLength(b) > back ? s.size() - back : s.size();
        }
    }
    return s.size();
}

// The code point of the UTF-8 sequence at `s` (whole and valid).
std::uint32_t CodePointAt(const unsigned char* s, std::size_t size) {
    switch (size) {
    case 2:
        return (s[0] & 0x1Fu) << 6 | (s[1] & 0x3Fu);
    case 3:
        return (s[0] & 0x0Fu) << 12 | (s[1] & 0x3Fu) << 6 | (s[2] & 0x3Fu);
    case 4:
        return (s[0] & 0x07u) << 18 | (s[1] & 0x3Fu) << 12 | (s[2] & 0x3Fu) << 6 | (s[3] & 0x3Fu);
    default:
        return s[0];
    }
}

// A UTF-16 code unit that ordinary text is made of: ASCII and Latin letters,
// punctuation, Chinese characters and their punctuation.
bool PlausibleUnit(unsigned unit) {
    return unit == '\t' || unit == '\n' || unit == '\r' || (unit >= 0x20 && unit < 0x7F) ||
           (unit >= 0xA0 && unit <= 0x17F) || (unit >= 0x2000 && unit <= 0x206F) ||
           (unit >= 0x3000 && unit <= 0x303F) || (unit >= 0x4E00 && unit <= 0x9FFF) ||
           (unit >= 0xFF00 && unit <= 0xFFEF);
}

// ---------------------------------------------------------------------------
// First reading: how the window will decode the bytes, and what they probably are.

class EncodingScan {
public:
    explicit EncodingScan(GbkCoverage& coverage, GbkPairs& pairs)
        : coverage_(coverage), pairs_(pairs) {}

    void Feed(std::string_view block) {
        if (head_.size() < 8) {
            head_.append(block.substr(0, 8 - head_.size()));
        }
        Utf8(block);
        for (const char c : block) {
            Legacy(static_cast<unsigned char>(c));
        }
        // UTF-16 shows in its first megabytes: the rest is not looked at for it.
        const std::size_t sampled =
            std::min<std::uint64_t>(block.size(), size_ < kUtf16Sample ? kUtf16Sample - size_ : 0);
        for (std::size_t i = 0; i < sampled; ++i) {
            Utf16(static_cast<unsigned char>(block[i]));
        }
        size_ += block.size();
    }

    // True when a byte-order mark has decided the encoding already.
    bool Marked() const { return head_.size() >= 4 && Mark() != SourceEncoding::Gbk; }

    SourceEncoding Encoding() {
        if (const SourceEncoding marked = Mark(); marked != SourceEncoding::Gbk) {
            return marked;
        }
        Utf8({}, true);
        const bool valid = utf8Valid_;
        const bool common = commonGbk_ && lead_ < 0;
        return valid && multiByte_ && (!common || (wide_ && allInGbk_)) ? SourceEncoding::Utf8
                                                                        : SourceEncoding::Gbk;
    }

    // Valid UTF-8 with characters beyond ASCII (after Encoding()).
    bool LatinUtf8() const { return utf8Valid_ && multiByte_; }
    // Valid UTF-8 whose every character GBK holds (after Encoding()).
    bool Utf8AllInGbk() const { return utf8Valid_ && allInGbk_; }

    bool Magic() const {
        constexpr std::array kMagic = {"\xD0\xCF\x11\xE0"sv, "PK\x03\x04"sv,   "%PDF"sv,
                                       "\x89PNG"sv,          "\xFF\xD8\xFF"sv, "GIF8"sv};
        return std::any_of(kMagic.begin(), kMagic.end(),
                           [&](std::string_view magic) { return head_.starts_with(magic); });
    }

    // For a file read as GBK: the encoding it was more probably written in.
    LikelyEncoding Likely() const {
        if (size_ % 2 == 0 && !Magic()) {
            const std::uint64_t units = std::min(size_, kUtf16Sample) / 2;
            for (const std::size_t odd : {std::size_t{1}, std::size_t{0}}) {
                const std::uint64_t here = nul_[odd];
                const std::uint64_t there = nul_[1 - odd];
                // Chinese text puts NULs at both offsets (一 is U+4E00): then
                // the other byte order must read as much less plausible text.
                const bool oneSided = there * 10 <= here || plausible_[1 - odd] * 10 <= units * 6;
                if (here >= std::max<std::uint64_t>(2, units / 50) && there < here && oneSided &&
                    plausible_[odd] * 10 >= units * 9) {
                    return odd == 1 ? LikelyEncoding::Utf16LeNoMark : LikelyEncoding::Utf16BeNoMark;
                }
            }
        }
        const bool big5 = big5Valid_ && lead_ < 0;
        if (high_ == 0 || (commonGbk_ && lead_ < 0 && gbkBad_ == 0)) {
            return LikelyEncoding::None;
        }
        if (big5 && pairCount_ > 0 && (gbkBad_ > 0 || lowTrails_ * 10 >= pairCount_)) {
            return LikelyEncoding::Big5;
        }
        const std::uint64_t isolated = isolated_ + (lastHigh_ && !beforeLastHigh_ ? 1U : 0U);
        if (isolated * 2 >= high_) {
            return LikelyEncoding::Latin1;
        }
        return LikelyEncoding::None;
    }

private:
    SourceEncoding Mark() const {
        const SourceEncoding e = DetectEncoding(head_.substr(0, 4));
        return e == SourceEncoding::Utf8 ? SourceEncoding::Gbk : e;
    }

    // UTF-8 validity, a whole sequence at a time; `last` ends the file.
    void Utf8(std::string_view block, bool last = false) {
        if (!utf8Valid_ || finished_) {
            return;
        }
        finished_ = last;
        std::string joined;
        std::string_view s = block;
        if (!carry_.empty()) {
            joined = std::move(carry_);
            joined.append(block);
            s = joined;
        }
        const std::size_t cut = last ? s.size() : Utf8Cut(s);
        const std::string_view whole = s.substr(0, cut);
        if (!IsValidUtf8(whole)) {
            utf8Valid_ = false;
            return;
        }
        for (std::size_t i = 0; i < whole.size();) {
            const auto b = static_cast<unsigned char>(whole[i]);
            if (b < 0x80) {
                ++i;
                continue;
            }
            multiByte_ = true;
            wide_ = wide_ || b >= 0xE0;
            const std::size_t n = SequenceLength(b);
            if (allInGbk_) {
                allInGbk_ = coverage_.Has(
                    CodePointAt(reinterpret_cast<const unsigned char*>(whole.data() + i), n));
            }
            i += n;
        }
        carry_ = std::string(s.substr(cut));
    }

    // GBK pairs (greedy, as the view groups them), Big5 pairs and lone high bytes.
    void Legacy(unsigned char b) {
        const bool high = b >= 0x80;
        if (lastHigh_ && !beforeLastHigh_ && !high) {
            ++isolated_;
        }
        beforeLastHigh_ = lastHigh_;
        lastHigh_ = high;
        high_ += high ? 1U : 0U;
        if (lead_ >= 0) {
            const auto lead = static_cast<unsigned char>(lead_);
            ++pairCount_;
            lowTrails_ += b >= 0x40 && b <= 0x7E ? 1U : 0U;
            big5Valid_ = big5Valid_ && lead >= 0xA1 && lead <= 0xF9 &&
                         ((b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE));
            commonGbk_ = commonGbk_ && lead >= 0xA1 && lead <= 0xF7 && b >= 0xA1 && b <= 0xFE;
            gbkBad_ += pairs_.Decodes(lead, b) ? 0U : 1U;
            lead_ = -1;
        } else if (high) {
            if (b >= 0x81 && b <= 0xFE) {
                lead_ = b;
            } else {
                big5Valid_ = false;
                commonGbk_ = false;
                ++gbkBad_;
            }
        }
    }

    // NUL bytes by the parity of their offset, and units that look like text.
    void Utf16(unsigned char b) {
        const auto odd = static_cast<std::size_t>(sampled_++ % 2);
        nul_[odd] += b == 0 ? 1U : 0U;
        if (odd == 0) {
            first_ = b;
            return;
        }
        plausible_[1] += PlausibleUnit(first_ | unsigned{b} << 8) ? 1U : 0U;
        plausible_[0] += PlausibleUnit(first_ << 8 | b) ? 1U : 0U;
    }

    GbkCoverage& coverage_;
    GbkPairs& pairs_;
    std::string head_;
    std::uint64_t size_ = 0;

    std::string carry_;
    bool finished_ = false;
    bool utf8Valid_ = true;
    bool multiByte_ = false;
    bool wide_ = false;
    bool allInGbk_ = true;

    int lead_ = -1;
    bool commonGbk_ = true;
    bool big5Valid_ = true;
    std::uint64_t pairCount_ = 0;
    std::uint64_t lowTrails_ = 0;
    std::uint64_t gbkBad_ = 0;
    std::uint64_t high_ = 0;
    std::uint64_t isolated_ = 0;
    bool lastHigh_ = false;
    bool beforeLastHigh_ = false;

    static constexpr std::uint64_t kUtf16Sample = std::uint64_t{4} << 20;
    std::uint64_t sampled_ = 0;
    unsigned first_ = 0;
    std::array<std::uint64_t, 2> nul_{};       // [0]: at even offsets, [1]: at odd ones
    std::array<std::uint64_t, 2> plausible_{}; // [0]: big-endian units, [1]: little-endian
};

// ---------------------------------------------------------------------------
// Second reading: the file's bytes to the view's GBK text.

const char* IconvName(SourceEncoding encoding) {
    switch (encoding) {
    case SourceEncoding::Utf16Le:
        return "UTF-16LE";
    case SourceEncoding::Utf16Be:
        return "UTF-16BE";
    case SourceEncoding::Utf32Le:
        return "UTF-32LE";
    case SourceEncoding::Utf32Be:
        return "UTF-32BE";
    case SourceEncoding::Gbk:
    case SourceEncoding::Utf8:
    case SourceEncoding::Utf8Bom:
        break;
    }
    return "UTF-8";
}

// Converts a block at a time; a character split by a block's end waits for the next.
class Decoder {
public:
    explicit Decoder(SourceEncoding encoding) : encoding_(encoding) {}

    // The GBK text of the block, and for a Unicode file the same text in UTF-8.
    void Decode(std::string_view block, bool last, std::string& gbk, std::string& utf8) {
        if (encoding_ == SourceEncoding::Gbk) {
            gbk.assign(block);
            return;
        }
        std::string data = std::move(carry_);
        data.append(block);
        std::size_t cut = data.size();
        if (!last) {
            cut = WholeUpTo(data);
        }
        carry_ = data.substr(cut);
        data.resize(cut);
        const char* name = IconvName(encoding_);
        if (encoding_ == SourceEncoding::Utf8 || encoding_ == SourceEncoding::Utf8Bom) {
            gbk = Utf8ToGbk(data);
            // Without a mark the file was found valid already.
            const bool valid = encoding_ == SourceEncoding::Utf8 || IsValidUtf8(data);
            utf8 = valid ? std::move(data) : ConvertToUtf8(data, name);
        } else {
            gbk = ConvertToGbk(data, name);
            utf8 = ConvertToUtf8(data, name);
        }
    }

private:
    std::size_t WholeUpTo(std::string_view s) const {
        switch (encoding_) {
        case SourceEncoding::Utf16Le:
        case SourceEncoding::Utf16Be: {
            std::size_t cut = s.size() & ~std::size_t{1};
            if (cut >= 2) {
                const bool big = encoding_ == SourceEncoding::Utf16Be;
                const auto hi = static_cast<unsigned char>(s[cut - (big ? 2 : 1)]);
                if (hi >= 0xD8 && hi <= 0xDB) {
                    cut -= 2; // a high surrogate waits for its pair
                }
            }
            return cut;
        }
        case SourceEncoding::Utf32Le:
        case SourceEncoding::Utf32Be:
            return s.size() & ~std::size_t{3};
        default:
            return Utf8Cut(s);
        }
    }

    SourceEncoding encoding_;
    std::string carry_;
};

// The characters of a Unicode file that GBK lacks, with their lines counted as
// the view counts them (CR LF, lone CR and lone LF each end a line; the text
// ends at a NUL).
class LostScan {
public:
    explicit LostScan(GbkCoverage& coverage) : coverage_(coverage) {}

    void Feed(std::string_view utf8) {
        const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
        for (std::size_t i = 0; i < utf8.size() && !ended_;) {
            const unsigned char lead = s[i];
            if (lead == 0) {
                ended_ = true;
                break;
            }
            if (lead == '\r' || lead == '\n') {
                line_ += lead == '\n' && afterCr_ ? 0 : 1;
                afterCr_ = lead == '\r';
                ++i;
                continue;
            }
            afterCr_ = false;
            const std::size_t size = std::min(SequenceLength(lead), utf8.size() - i);
            if (size > 1 && !coverage_.Has(CodePointAt(s + i, size))) {
                if (lost.size() < kListedFindings) {
                    lost.push_back({line_, std::string(utf8.substr(i, size))});
                }
                ++count;
            }
            i += size;
        }
    }

    std::vector<LostCharacter> lost;
    std::size_t count = 0;

private:
    GbkCoverage& coverage_;
    int line_ = 1;
    bool afterCr_ = false;
    bool ended_ = false;
};

// The character that bytes the view cannot show stand for in the likely encoding.
std::string Meant(std::string_view bytes, LikelyEncoding likely) {
    const char* name = likely == LikelyEncoding::Big5     ? "BIG5"
                       : likely == LikelyEncoding::Latin1 ? "CP1252"
                                                          : nullptr;
    if (name == nullptr) {
        return {};
    }
    std::string text;
    if (likely == LikelyEncoding::Latin1) {
        // Each byte beyond ASCII is a letter of its own; the others are shown as they are.
        for (const char c : bytes) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                text += ConvertToUtf8(std::string_view(&c, 1), name);
            }
        }
    } else {
        text = ConvertToUtf8(bytes, name);
    }
    return text.find('?') == std::string::npos ? text : std::string();
}

// The view's text (GBK, every line break CR LF, ending at a NUL), a block at a
// time: its counts, lines, and the bytes that form no character.
class TextScan {
public:
    // `asRich`: whether a text that begins like rich text is kept for its reader.
    TextScan(GbkPairs& pairs, LikelyEncoding likely, bool findUndecodable, bool asRich = true)
        : pairs_(pairs), likely_(likely), findUndecodable_(findUndecodable),
          rich_(asRich ? RichState::Maybe : RichState::No) {}

    // Bytes as decoded: line breaks are made CR LF here.
    void FeedDecoded(std::string_view gbk) {
        if (ended_) {
            return;
        }
        normalised_.resize(gbk.size() * 2 + 2);
        char* out = normalised_.data();
        for (const char c : gbk) {
            if (c == '\0') {
                ended_ = true;
                break;
            }
            if (pendingCr_ && c != '\n') {
                *out++ = '\r';
                *out++ = '\n';
            }
            pendingCr_ = c == '\r';
            if (c == '\n') {
                *out++ = '\r';
                *out++ = '\n';
            } else if (c != '\r') {
                *out++ = c;
            }
        }
        Feed(std::string_view(normalised_.data(),
                              static_cast<std::size_t>(out - normalised_.data())));
    }

    // The view's text itself.
    void Feed(std::string_view text) {
        if (rich_ != RichState::No) {
            Collect(text);
            if (rich_ == RichState::Yes) {
                return;
            }
        }
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto b = static_cast<unsigned char>(text[i]);
            ascii_ += IsSingleByteChar(b) ? 1U : 0U;
            high_ += IsHighByte(b) ? 1U : 0U;
            if (b == '\n') {
                ++breaks_;
            }
            if (findUndecodable_) {
                Group(b);
            }
        }
        if (!text.empty()) {
            last_ = text.back();
        }
    }

    void Finish() {
        if (lead_ >= 0) {
            Undecodable({static_cast<char>(lead_)});
            lead_ = -1;
        }
    }

    bool IsRich() const { return rich_ == RichState::Yes; }
    const std::string& RichText() const { return head_; }

    SourceCounts Counts() const {
        SourceCounts counts;
        counts.ascii = static_cast<std::int32_t>(ascii_);
        counts.hanzi = static_cast<std::int32_t>(high_ / 2);
        counts.total = counts.hanzi + counts.ascii;
        return counts;
    }
    int Lines() const {
        return static_cast<int>(breaks_) + (last_ != '\0' && last_ != '\n' ? 1 : 0);
    }

    std::vector<UndecodableBytes> undecodable;
    std::size_t undecodableCount = 0;

private:
    enum class RichState : std::uint8_t { Maybe, Yes, No };

    // Keeps the text's start until it shows whether it is rich text, and all
    // of a rich text.
    void Collect(std::string_view text) {
        constexpr std::string_view kRich = "{\\rtf";
        head_.append(text);
        if (rich_ == RichState::Maybe && head_.size() >= kRich.size()) {
            rich_ = head_.starts_with(kRich) ? RichState::Yes : RichState::No;
            if (rich_ == RichState::No) {
                std::string().swap(head_);
            }
        }
    }

    void Group(unsigned char b) {
        if (lead_ >= 0) {
            const auto lead = static_cast<unsigned char>(lead_);
            lead_ = -1;
            if (!pairs_.Decodes(lead, b)) {
                Undecodable({static_cast<char>(lead), static_cast<char>(b)});
            }
            line_ += b == '\n' ? 1 : 0;
            return;
        }
        if (IsLeadByte(b)) {
            lead_ = b;
        } else if (b >= 0x80) {
            Undecodable({static_cast<char>(b)});
        }
        line_ += b == '\n' ? 1 : 0;
    }

    void Undecodable(const std::string& bytes) {
        ++undecodableCount;
        if (undecodable.size() >= kListedFindings) {
            return;
        }
        constexpr std::string_view kDigits = "0123456789ABCDEF";
        std::string hex;
        for (const char c : bytes) {
            const auto value = static_cast<unsigned char>(c);
            if (!hex.empty()) {
                hex.push_back(' ');
            }
            hex.push_back(kDigits[value >> 4]);
            hex.push_back(kDigits[value & 0xF]);
        }
        undecodable.push_back({line_, hex, Meant(bytes, likely_)});
    }

    GbkPairs& pairs_;
    LikelyEncoding likely_;
    bool findUndecodable_;
    std::string normalised_;
    bool pendingCr_ = false;
    bool ended_ = false;
    RichState rich_;
    std::string head_;

    std::uint64_t ascii_ = 0;
    std::uint64_t high_ = 0;
    std::uint64_t breaks_ = 0;
    char last_ = '\0';
    int lead_ = -1;
    int line_ = 1;
};

// Reads the whole file through `read`, a block at a time; `feed` returns false to stop.
template <typename Feed>
void ReadBlocks(const SourceReader& read, std::size_t blockSize, Feed&& feed) {
    std::string block(blockSize, '\0');
    std::uint64_t offset = 0;
    for (;;) {
        const std::size_t got = read(offset, block.data(), block.size());
        if (got == 0 || !feed(std::string_view(block.data(), got), false)) {
            break;
        }
        offset += got;
    }
    feed(std::string_view(), true);
}

} // namespace

SourceReport CheckSource(const SourceReader& read, std::size_t blockSize) {
    blockSize = std::max<std::size_t>(blockSize, 1);
    GbkCoverage coverage;
    GbkPairs pairs;
    EncodingScan scan(coverage, pairs);
    ReadBlocks(read, blockSize, [&](std::string_view block, bool) {
        scan.Feed(block);
        return !scan.Marked();
    });

    SourceReport report;
    report.encoding = scan.Encoding();
    const bool gbk = report.encoding == SourceEncoding::Gbk;
    report.likely = gbk ? scan.Likely() : LikelyEncoding::None;

    Decoder decoder(report.encoding);
    TextScan text(pairs, report.likely, gbk);
    LostScan lostScan(coverage);
    std::size_t skip = ByteOrderMarkSize(report.encoding);
    std::uint64_t decodedSize = 0;
    std::uint64_t controls = 0;
    bool nul = false;
    std::string decoded;
    std::string utf8;
    // A UTF-8 file found whole in GBK by the first reading loses nothing.
    const bool mayLose = !gbk && !(report.encoding == SourceEncoding::Utf8 && scan.Utf8AllInGbk());
    ReadBlocks(read, blockSize, [&](std::string_view block, bool last) {
        const std::size_t mark = std::min(skip, block.size());
        skip -= mark;
        decoder.Decode(block.substr(mark), last, decoded, utf8);
        decodedSize += decoded.size();
        for (const char c : decoded) {
            const auto b = static_cast<unsigned char>(c);
            nul = nul || b == 0;
            controls +=
                b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1A ? 1U : 0U;
        }
        text.FeedDecoded(decoded);
        if (mayLose) {
            lostScan.Feed(utf8);
        }
        return true;
    });
    text.Finish();

    bool brokenRich = false;
    if (text.IsRich()) {
        std::string rich;
        std::vector<LostCharacter> richLost;
        report.richText = ReadRichText(text.RichText(), rich, &richLost);
        brokenRich = !report.richText;
        TextScan shown(pairs, report.likely, gbk && !report.richText, false);
        shown.Feed(report.richText ? rich : text.RichText());
        shown.Finish();
        report.counts = shown.Counts();
        report.lines = shown.Lines();
        report.undecodable = std::move(shown.undecodable);
        report.undecodableCount = shown.undecodableCount;
        if (report.richText) {
            report.lostCount = richLost.size();
            richLost.resize(std::min(richLost.size(), kListedFindings));
            report.lost = std::move(richLost);
        }
    } else {
        report.counts = text.Counts();
        report.lines = text.Lines();
        report.undecodable = std::move(text.undecodable);
        report.undecodableCount = text.undecodableCount;
    }
    if (!gbk && !report.richText) {
        report.lost = std::move(lostScan.lost);
        report.lostCount = lostScan.count;
    }

    const auto warn = [&](bool condition, SourceWarning warning) {
        if (condition) {
            report.warnings.push_back(warning);
        }
    };
    const bool utf16 = report.likely == LikelyEncoding::Utf16LeNoMark ||
                       report.likely == LikelyEncoding::Utf16BeNoMark;
    const bool binary = !utf16 && (scan.Magic() || nul || controls * 20 > decodedSize);
    warn(report.lostCount > 0, SourceWarning::LostCharacters);
    warn(report.undecodableCount > 0 && !binary, SourceWarning::Undecodable);
    warn(report.likely != LikelyEncoding::None, SourceWarning::OtherEncoding);
    warn(gbk && scan.LatinUtf8(), SourceWarning::LatinUtf8AsGbk);
    warn(binary, SourceWarning::Binary);
    warn(brokenRich, SourceWarning::BrokenRichText);
    warn(report.counts.total == 0, SourceWarning::Empty);
    warn(report.counts.total > 0 && report.counts.hanzi == 0, SourceWarning::NoHanzi);
    return report;
}

SourceReport CheckSource(std::string_view bytes, std::size_t blockSize) {
    return CheckSource(
        [bytes](std::uint64_t offset, char* buffer, std::size_t size) {
            if (offset >= bytes.size()) {
                return std::size_t{0};
            }
            const std::string_view part = bytes.substr(static_cast<std::size_t>(offset), size);
            std::copy(part.begin(), part.end(), buffer);
            return part.size();
        },
        blockSize);
}

SourceReport CheckSourceFile(const std::string& path) {
    const int fd = OpenSourceFile(path);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    return CheckSource([fd](std::uint64_t offset, char* buffer, std::size_t size) {
        // No more than the exam window reads, even from a file that grows.
        if (offset >= kMaxSourceBytes) {
            return std::size_t{0};
        }
        size = std::min<std::size_t>(size, kMaxSourceBytes - offset);
        return ReadSourceAt(fd, buffer, size, offset);
    });
}

} // namespace qarvel::exam
