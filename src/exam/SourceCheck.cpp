#include "SourceCheck.h"

#include "ExamState.h"
#include "Gbk.h"

#include <algorithm>
#include <array>
#include <map>

namespace qarvel::exam {
namespace {

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

// The characters of a Unicode file that GBK lacks, with their lines counted as
// the view counts them (CR LF, lone CR and lone LF each end a line; the text
// ends at a NUL).
std::vector<LostCharacter> LostInUnicode(std::string_view payload, SourceEncoding encoding) {
    const std::string utf8 = ConvertToUtf8(payload, IconvName(encoding));
    std::vector<LostCharacter> lost;
    std::map<std::string, bool> inGbk;
    int line = 1;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead == 0) {
            break;
        }
        if (lead == '\r' || lead == '\n') {
            ++line;
            i += lead == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n' ? 2U : 1U;
            continue;
        }
        const std::size_t size = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (size > 1) {
            const std::string one = utf8.substr(i, size);
            auto [it, fresh] = inGbk.try_emplace(one, true);
            if (fresh) {
                it->second = Utf8ToGbk(one) != "?";
            }
            if (!it->second) {
                lost.push_back({line, one});
            }
        }
        i += size;
    }
    return lost;
}

// Groups of the view's GBK text that decode to no character, as the view
// groups them: a byte from 129 to 254 takes the byte after it.
std::vector<LostCharacter> UndecodableGbk(std::string_view text) {
    std::vector<LostCharacter> found;
    int line = 1;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const std::size_t size = IsLeadByte(b) && i + 1 < text.size() ? 2 : 1;
        if (b == '\n') {
            ++line;
        } else if (b >= 0x80 &&
                   (size == 1 || GbkToUtf8(text.substr(i, 2)).find('?') != std::string::npos)) {
            constexpr std::string_view kDigits = "0123456789ABCDEF";
            std::string hex;
            for (std::size_t k = 0; k < size; ++k) {
                const auto value = static_cast<unsigned char>(text[i + k]);
                if (k > 0) {
                    hex.push_back(' ');
                }
                hex.push_back(kDigits[value >> 4]);
                hex.push_back(kDigits[value & 0xF]);
            }
            found.push_back({line, hex});
        }
        i += size;
    }
    return found;
}

// A word-processor document, an archive, a picture: anything but text.
bool LooksBinary(std::string_view bytes, std::string_view decoded) {
    using namespace std::string_view_literals;
    constexpr std::array kMagic = {"\xD0\xCF\x11\xE0"sv, "PK\x03\x04"sv,   "%PDF"sv,
                                   "\x89PNG"sv,          "\xFF\xD8\xFF"sv, "GIF8"sv};
    if (std::any_of(kMagic.begin(), kMagic.end(),
                    [&](std::string_view magic) { return bytes.starts_with(magic); })) {
        return true;
    }
    if (decoded.find('\0') != std::string_view::npos) {
        return true;
    }
    const auto controls = std::count_if(decoded.begin(), decoded.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1A;
    });
    return controls * 20 > static_cast<std::ptrdiff_t>(decoded.size());
}

} // namespace

SourceReport CheckSource(std::string_view bytes) {
    SourceReport report;
    report.encoding = DetectEncoding(bytes);
    const std::string decoded = DecodeToGbk(bytes);
    const std::string normalised = NormaliseLineBreaks(decoded);

    std::string text = normalised;
    bool brokenRich = false;
    std::vector<LostCharacter> richLost;
    if (normalised.starts_with("{\\rtf")) {
        std::string rich;
        report.richText = ReadRichText(normalised, rich, &richLost);
        brokenRich = !report.richText;
        if (report.richText) {
            text = std::move(rich);
        }
    }

    ExamState state;
    report.counts = CountSource(state, text);
    if (!text.empty()) {
        report.lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }

    if (report.richText) {
        report.lost = std::move(richLost);
    } else if (report.encoding != SourceEncoding::Gbk) {
        report.lost =
            LostInUnicode(bytes.substr(ByteOrderMarkSize(report.encoding)), report.encoding);
    }
    if (report.encoding == SourceEncoding::Gbk && !report.richText) {
        report.undecodable = UndecodableGbk(text);
    }

    const auto warn = [&](bool condition, SourceWarning warning) {
        if (condition) {
            report.warnings.push_back(warning);
        }
    };
    const bool binary = LooksBinary(bytes, decoded);
    warn(!report.lost.empty(), SourceWarning::LostCharacters);
    warn(!report.undecodable.empty() && !binary, SourceWarning::Undecodable);
    warn(report.encoding == SourceEncoding::Gbk && IsValidUtf8(bytes) &&
             std::any_of(bytes.begin(), bytes.end(),
                         [](char c) { return static_cast<unsigned char>(c) >= 0x80; }),
         SourceWarning::LatinUtf8AsGbk);
    warn(binary, SourceWarning::Binary);
    warn(brokenRich, SourceWarning::BrokenRichText);
    warn(report.counts.total == 0, SourceWarning::Empty);
    warn(report.counts.total > 0 && report.counts.hanzi == 0, SourceWarning::NoHanzi);
    return report;
}

} // namespace qarvel::exam
