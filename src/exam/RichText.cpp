#include "RichText.h"

#include "Gbk.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <utility>

namespace qarvel::exam {
namespace {

// Appends text for the view: every byte that does not belong to a whole GBK
// character becomes '?', and control bytes other than tab are dropped (line
// breaks come from \par; a code page such as EBCDIC may turn bytes into some).
void AppendShownGbk(std::string& out, std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x20 && b != '\t') {
            continue;
        }
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
            continue;
        }
        if (b >= 0x81 && b <= 0xFE && i + 1 < s.size()) {
            const auto t = static_cast<unsigned char>(s[i + 1]);
            if (t >= 0x40 && t <= 0xFE && t != 0x7F) {
                out.push_back(static_cast<char>(b));
                out.push_back(static_cast<char>(t));
                ++i;
                continue;
            }
        }
        out.push_back('?');
    }
}

std::string CodePageName(int codePage) {
    switch (codePage) {
    case 65001:
        return "UTF-8";
    case 54936:
        return "GB18030";
    case 10000:
        return "MACINTOSH";
    case 20127:
        return "ASCII";
    default:
        return "CP" + std::to_string(codePage);
    }
}

// The code page of a font's \fcharset; 0 for ANSI, default, symbol and unknown
// ones, whose bytes are read in the document's code page.
int CharsetCodePage(std::int64_t charset) {
    switch (charset) {
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 130:
        return 1361;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    default:
        return 0;
    }
}

// Groups whose content is not shown.
constexpr std::array<std::string_view, 38> kHiddenDestinations = {
    "annotation",   "atnauthor",  "atnid",
    "author",       "bkmkend",    "bkmkstart",
    "colortbl",     "comment",    "datastore",
    "docvar",       "doccomm",    "filetbl",
    "fldinst",      "footer",     "footerf",
    "footerl",      "footerr",    "footnote",
    "generator",    "header",     "headerf",
    "headerl",      "headerr",    "info",
    "latentstyles", "listtable",  "listoverridetable",
    "nonshppict",   "object",     "objdata",
    "operator",     "pict",       "revtbl",
    "rsidtbl",      "stylesheet", "template",
    "themedata",    "xmlnstbl"};

// Control words that stand for one character, as UTF-16.
struct SpecialChar {
    std::string_view word;
    char16_t unit;
};
constexpr std::array<SpecialChar, 12> kSpecialChars = {{{"emdash", u'\u2014'},
                                                        {"endash", u'\u2013'},
                                                        {"bullet", u'\u2022'},
                                                        {"lquote", u'\u2018'},
                                                        {"rquote", u'\u2019'},
                                                        {"ldblquote", u'\u201C'},
                                                        {"rdblquote", u'\u201D'},
                                                        {"emspace", u' '},
                                                        {"enspace", u' '},
                                                        {"qmspace", u' '},
                                                        {"tab", u'\t'},
                                                        {"cell", u'\t'}}};

enum class Destination : std::uint8_t { Text, Hidden, FontTable };

struct GroupState {
    Destination dest = Destination::Text;
    std::int64_t uc = 1; // characters that stand in for each \uN
    std::int64_t font = -1;
};

// Reads RTF the way a rich-text view shows it, as GBK text with CR LF breaks.
class RichTextReader {
public:
    RichTextReader(std::string_view rtf, std::vector<LostCharacter>* lost)
        : in_(rtf), lost_(lost) {}

    bool Read(std::string& text) {
        if (!in_.starts_with("{\\rtf")) {
            return false;
        }
        pos_ = 1;
        stack_.push_back(state_);
        std::string_view word;
        if (!ReadControl(&word) || word != "rtf") {
            return false;
        }
        while (pos_ < in_.size()) {
            const char c = in_[pos_];
            if (c == '{') {
                ++pos_;
                stack_.push_back(state_);
                pendingSkip_ = 0;
            } else if (c == '}') {
                ++pos_;
                pendingSkip_ = 0;
                state_ = stack_.back();
                stack_.pop_back();
                if (stack_.empty()) {
                    break; // the document's closing brace: anything after it is ignored
                }
            } else if (c == '\\') {
                if (!ReadControl(nullptr)) {
                    return false;
                }
            } else if (c == '\r' || c == '\n') {
                ++pos_;
            } else {
                ++pos_;
                TextByte(static_cast<unsigned char>(c));
            }
        }
        if (!stack_.empty()) {
            return false; // truncated: a group is still open
        }
        Flush();
        // The last \par becomes the view's final paragraph mark, which is not text.
        if (lastParEnd_ == out_.size() && out_.size() >= 2) {
            out_.resize(out_.size() - 2);
        }
        text = std::move(out_);
        return true;
    }

private:
    static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    static int HexValue(char c) {
        if (IsDigit(c)) {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    }

    // At a backslash: reads a control word or symbol and acts on it. With `first`
    // set, only reports the word (the \rtf header). False on malformed input.
    bool ReadControl(std::string_view* first) {
        ++pos_; // the backslash
        if (pos_ >= in_.size()) {
            return false;
        }
        const char c = in_[pos_];
        if (!IsLetter(c)) {
            if (first != nullptr) {
                return false;
            }
            ++pos_;
            return Symbol(c);
        }
        const std::size_t start = pos_;
        while (pos_ < in_.size() && IsLetter(in_[pos_])) {
            ++pos_;
        }
        const std::string_view word = in_.substr(start, pos_ - start);
        bool hasParam = false;
        std::int64_t param = 0;
        const bool negative = pos_ + 1 < in_.size() && in_[pos_] == '-' && IsDigit(in_[pos_ + 1]);
        if (negative) {
            ++pos_;
        }
        while (pos_ < in_.size() && IsDigit(in_[pos_])) {
            hasParam = true;
            // Saturates: real parameters are 16 or 32 bits.
            param = std::min<std::int64_t>(param * 10 + (in_[pos_] - '0'), 1'000'000'000'000);
            ++pos_;
        }
        if (negative) {
            param = -param;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ') {
            ++pos_;
        }
        if (first != nullptr) {
            *first = word;
            return true;
        }
        return Word(word, hasParam, param);
    }

    bool Symbol(char c) {
        if (c == '\'') {
            if (pos_ + 2 > in_.size()) {
                return false;
            }
            const int hi = HexValue(in_[pos_]);
            const int lo = HexValue(in_[pos_ + 1]);
            if (hi < 0 || lo < 0) {
                return false;
            }
            pos_ += 2;
            TextByte(static_cast<unsigned char>(hi * 16 + lo));
            return true;
        }
        if (c == '\\' || c == '{' || c == '}') {
            TextByte(static_cast<unsigned char>(c));
            return true;
        }
        if (c == '*') {
            state_.dest = Destination::Hidden;
            return true;
        }
        if (TakeSkip() || state_.dest != Destination::Text) {
            return true;
        }
        switch (c) {
        case '~':
            Emit(" ");
            break;
        case '_':
            Emit("-");
            break;
        case '\r':
        case '\n':
            Paragraph();
            break;
        default: // \- optional hyphen, \| \: and unknown symbols show nothing
            break;
        }
        return true;
    }

    bool Word(std::string_view word, bool hasParam, std::int64_t param) {
        if (word == "bin") {
            // Binary data follows; it is never text, also when it stands in for \uN.
            if (hasParam && param > 0) {
                if (static_cast<std::uint64_t>(param) > in_.size() - pos_) {
                    return false;
                }
                pos_ += static_cast<std::size_t>(param);
            }
            TakeSkip();
            return true;
        }
        if (TakeSkip() || state_.dest == Destination::Hidden) {
            return true;
        }
        if (std::find(kHiddenDestinations.begin(), kHiddenDestinations.end(), word) !=
            kHiddenDestinations.end()) {
            state_.dest = Destination::Hidden;
            return true;
        }
        if (word == "fonttbl") {
            state_.dest = Destination::FontTable;
            return true;
        }
        if (state_.dest == Destination::FontTable) {
            if (word == "f" && hasParam) {
                tableFont_ = param;
            } else if (tableFont_ < 0) {
                return true;
            } else if (word == "fcharset" && hasParam) {
                const int cp = CharsetCodePage(param);
                if (cp != 0) {
                    fontCodePage_[tableFont_] = cp;
                }
            } else if (word == "cpg" && hasParam && param > 0 && param < 100000) {
                fontCodePage_[tableFont_] = static_cast<int>(param);
            }
            return true;
        }

        if (word == "par" || word == "sect" || word == "page" || word == "row") {
            Paragraph();
        } else if (word == "line") {
            Emit("\r\n");
        } else if (word == "u" && hasParam) {
            // A signed 16-bit value; negative ones are the units from 32768 up.
            Unit(static_cast<char16_t>(static_cast<std::uint64_t>(param) & 0xFFFF));
            pendingSkip_ = state_.uc;
        } else if (word == "uc" && hasParam) {
            state_.uc = std::max<std::int64_t>(param, 0);
        } else if (word == "ansicpg" && hasParam && param > 0 && param < 100000) {
            docCodePage_ = static_cast<int>(param);
        } else if (word == "deff" && hasParam) {
            defaultFont_ = param;
        } else if (word == "f" && hasParam) {
            state_.font = param;
        } else if (word == "plain") {
            state_.font = defaultFont_;
        } else {
            for (const SpecialChar& special : kSpecialChars) {
                if (special.word == word) {
                    Unit(special.unit);
                    break;
                }
            }
        }
        return true;
    }

    // One character of a \uN fallback is dropped per call while some are due.
    bool TakeSkip() {
        if (pendingSkip_ > 0) {
            --pendingSkip_;
            return true;
        }
        return false;
    }

    int CurrentCodePage() const {
        const std::int64_t font = state_.font >= 0 ? state_.font : defaultFont_;
        const auto it = fontCodePage_.find(font);
        return it != fontCodePage_.end() ? it->second : docCodePage_;
    }

    // A byte of text in the current font's code page.
    void TextByte(unsigned char b) {
        if (TakeSkip() || state_.dest != Destination::Text) {
            return;
        }
        if (b < 0x20 && b != '\t') {
            return; // control bytes are not text; line breaks come from \par
        }
        const int cp = CurrentCodePage();
        if (!units_.empty() || (!run_.empty() && runCodePage_ != cp)) {
            Flush();
        }
        runCodePage_ = cp;
        run_.push_back(static_cast<char>(b));
    }

    void Unit(char16_t unit) {
        if (state_.dest != Destination::Text || (unit < 0x20 && unit != u'\t')) {
            return;
        }
        if (!run_.empty()) {
            Flush();
        }
        units_.push_back(static_cast<char>(unit & 0xFF));
        units_.push_back(static_cast<char>(unit >> 8));
    }

    void Emit(std::string_view gbk) {
        Flush();
        out_ += gbk;
        lineBreaks_ += std::count(gbk.begin(), gbk.end(), '\n');
    }

    void Paragraph() {
        Emit("\r\n");
        lastParEnd_ = out_.size();
    }

    // Converts the pending bytes or UTF-16 units (consecutive ones together, so
    // double-byte characters and surrogate pairs stay whole) into GBK.
    void Flush() {
        if (!units_.empty()) {
            const std::string gbk = Utf16ToGbk(units_, false);
            if (lost_ != nullptr) {
                NoteLost(gbk);
            }
            AppendShownGbk(out_, gbk);
            units_.clear();
        }
        if (run_.empty()) {
            return;
        }
        const bool ascii = std::all_of(run_.begin(), run_.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (ascii || runCodePage_ == 936) {
            AppendShownGbk(out_, run_);
        } else {
            AppendShownGbk(out_, ConvertToGbk(run_, CodePageName(runCodePage_).c_str()));
        }
        run_.clear();
    }

    // Adds the characters of the pending units that came out of the conversion
    // as "?" to `lost_`, when there are any.
    void NoteLost(const std::string& gbk) {
        const auto questionUnits = [](const std::string& units) {
            std::ptrdiff_t n = 0;
            for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
                n += units[i] == '?' && units[i + 1] == 0;
            }
            return n;
        };
        if (std::count(gbk.begin(), gbk.end(), '?') == questionUnits(units_)) {
            return;
        }
        for (std::size_t i = 0; i + 1 < units_.size(); i += 2) {
            std::size_t size = 2;
            const auto unit = static_cast<char16_t>(static_cast<unsigned char>(units_[i]) |
                                                    static_cast<unsigned char>(units_[i + 1]) << 8);
            if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < units_.size()) {
                size = 4;
            }
            const std::string one = units_.substr(i, size);
            if (one != std::string("?\0", 2) && Utf16ToGbk(one, false) == "?") {
                lost_->push_back({static_cast<int>(lineBreaks_) + 1, Utf16ToUtf8(one)});
            }
            i += size - 2;
        }
    }

    static std::string Utf16ToUtf8(const std::string& units) {
        std::string utf8;
        std::uint32_t cp = std::uint32_t{static_cast<unsigned char>(units[0])} |
                           std::uint32_t{static_cast<unsigned char>(units[1])} << 8;
        if (units.size() == 4) {
            const std::uint32_t low = std::uint32_t{static_cast<unsigned char>(units[2])} |
                                      std::uint32_t{static_cast<unsigned char>(units[3])} << 8;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(utf8, cp);
        return utf8;
    }

    std::string_view in_;
    std::vector<LostCharacter>* lost_;
    std::ptrdiff_t lineBreaks_ = 0;
    std::size_t pos_ = 0;
    std::vector<GroupState> stack_;
    GroupState state_;
    std::int64_t pendingSkip_ = 0;

    int docCodePage_ = 936;
    std::int64_t defaultFont_ = -1;
    std::int64_t tableFont_ = -1;
    std::map<std::int64_t, int> fontCodePage_;

    std::string out_;
    std::string run_;
    int runCodePage_ = 936;
    std::string units_; // UTF-16LE
    std::size_t lastParEnd_ = std::string::npos;
};

} // namespace

bool ReadRichText(std::string_view rtf, std::string& text, std::vector<LostCharacter>* lost) {
    return RichTextReader(rtf, lost).Read(text);
}

} // namespace qarvel::exam
