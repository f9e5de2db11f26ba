// Source loading: any file bytes decode, normalise and read as rich or plain
// text without crashing, and what comes out is text the view can show: no NUL,
// every line break CR LF, and rich text made of whole GBK characters. The
// teacher's check of the same bytes counts what the loader loads.
#include "exam/ExamState.h"
#include "exam/SourceCheck.h"
#include "exam/SourceFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using qarvel::exam::DecodeToGbk;
using qarvel::exam::NormaliseLineBreaks;
using qarvel::exam::ReadRichText;
using qarvel::exam::SourceTextFromBytes;

namespace {

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

// No NUL; every CR is followed by LF and every LF follows a CR.
void CheckLineBreaks(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        Check(text[i] != '\0');
        if (text[i] == '\r') {
            Check(i + 1 < text.size() && text[i + 1] == '\n');
        } else if (text[i] == '\n') {
            Check(i > 0 && text[i - 1] == '\r');
        }
    }
}

// Whole GBK characters, and no control bytes but tab, CR and LF.
void CheckShownGbk(std::string_view text) {
    CheckLineBreaks(text);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            Check(b >= 0x20 || b == '\t' || b == '\r' || b == '\n');
            continue;
        }
        Check(b >= 0x81 && b <= 0xFE && i + 1 < text.size());
        const auto t = static_cast<unsigned char>(text[++i]);
        Check(t >= 0x40 && t <= 0xFE && t != 0x7F);
    }
}

void CheckRichText(std::string_view rtf) {
    std::string text;
    if (ReadRichText(rtf, text)) {
        CheckShownGbk(text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::string normal = NormaliseLineBreaks(bytes);
    CheckLineBreaks(normal);
    Check(normal.size() <= 2 * bytes.size());
    Check(NormaliseLineBreaks(normal) == normal);

    const std::string decoded = DecodeToGbk(bytes);
    Check(decoded.size() <= 2 * bytes.size() + 16);

    // Rich text as it comes, and the same bytes as the body of a document.
    CheckRichText(bytes);
    CheckRichText("{\\rtf1\\ansi " + normal + "}");

    // The whole way from the file's bytes; a file that opens with {\rtf either
    // reads as rich text or comes back as the plain text.
    const std::string text = SourceTextFromBytes(bytes);
    CheckLineBreaks(text);
    const std::string plain = NormaliseLineBreaks(decoded);
    if (!plain.starts_with("{\\rtf")) {
        Check(text == plain);
    }

    const qarvel::exam::SourceReport report = qarvel::exam::CheckSource(bytes);
    qarvel::exam::ExamState state;
    const qarvel::exam::SourceCounts counts = qarvel::exam::CountSource(state, text);
    Check(report.counts.total == counts.total && report.counts.hanzi == counts.hanzi);
    for (const qarvel::exam::LostCharacter& lost : report.lost) {
        Check(lost.line >= 1 && lost.line <= report.lines);
    }
    return 0;
}
