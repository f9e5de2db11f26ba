#include "SourceView.h"

#include "LineLayout.h"
#include "TextViewAccessible.h"
#include "exam/Gbk.h"
#include "platform/GbkText.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QGlyphRun>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <array>
#include <cmath>
#include <iconv.h>
#include <utility>

namespace qarvel::ui {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// A paragraph longer than this many characters is laid out a segment (about
// this many characters, ending at a line start) at a time.
constexpr int kSegment = 4096;
// Layouts kept beyond those on screen at most.
constexpr std::size_t kKeptLayouts = 48;
constexpr long long kKeptCharacters = 8 * kSegment;

// Marks of one character: the colour in the low bits, the underline above.
constexpr std::uint8_t kColourBits = 0x3;
constexpr std::uint8_t kBlackMark = 0;
constexpr std::uint8_t kBlueMark = 1;
constexpr std::uint8_t kRedMark = 2;
constexpr std::uint8_t kUnderlineBit = 0x4;

QColor ColourOf(std::uint8_t mark) {
    switch (mark & kColourBits) {
    case kBlueMark:
        return {0, 0, 255};
    case kRedMark:
        return {255, 0, 0};
    default:
        return {0, 0, 0};
    }
}

// The characters of two-byte GBK groups, asked of iconv once per group met and
// kept, so decoding costs one table look-up per character.
class PairTable {
public:
    PairTable() : cd_(iconv_open("UTF-16LE", "GBK")), table_(kLeads * 256, kUnknown) {
        singles_.fill(kUnknown);
    }
    ~PairTable() {
        if (valid()) {
            iconv_close(cd_);
        }
    }
    PairTable(const PairTable&) = delete;
    PairTable& operator=(const PairTable&) = delete;

    // The one UTF-16 code unit of the group `lead`, `trail`, or U+FFFD when
    // it does not decode to exactly one character of the basic plane.
    char16_t decode(unsigned char lead, unsigned char trail) {
        char16_t& unit = table_[static_cast<std::size_t>(lead - kFirstLead) * 256 + trail];
        if (unit == kUnknown) {
            const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            unit = ask(in, 2);
        }
        return unit;
    }

    // The same for a byte of 128 or more standing alone.
    char16_t decode(unsigned char single) {
        char16_t& unit = singles_[single & 0x7F];
        if (unit == kUnknown) {
            const char in[1] = {static_cast<char>(single)};
            unit = ask(in, 1);
        }
        return unit;
    }

private:
    static constexpr int kFirstLead = 0x81;
    static constexpr int kLeads = 0xFE - kFirstLead + 1;
    static constexpr char16_t kUnknown = 0; // no group decodes to U+0000

    [[nodiscard]] bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    char16_t ask(const char* bytes, std::size_t size) {
        if (!valid()) {
            return kReplacement;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char out[8];
        char* src = const_cast<char*>(bytes);
        std::size_t srcLeft = size;
        char* dst = out;
        std::size_t dstLeft = sizeof out;
        const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
        if (rc == static_cast<std::size_t>(-1) || srcLeft != 0 || dst - out != 2) {
            return kReplacement;
        }
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                                static_cast<unsigned char>(out[1]) << 8);
        return unit == kUnknown || QChar::isSurrogate(unit) ? kReplacement : unit;
    }

    iconv_t cd_;
    std::vector<char16_t> table_;
    std::array<char16_t, 128> singles_{};
};

PairTable& Pairs() {
    static PairTable pairs;
    return pairs;
}

// Sum tree over the paragraphs' line counts.
int Prefix(const std::vector<std::int32_t>& tree, int count) {
    int sum = 0;
    for (int i = count; i > 0; i -= i & -i) {
        sum += tree[static_cast<std::size_t>(i)];
    }
    return sum;
}

void Add(std::vector<std::int32_t>& tree, int index, int delta) {
    const int size = static_cast<int>(tree.size());
    for (int i = index + 1; i < size; i += i & -i) {
        tree[static_cast<std::size_t>(i)] += delta;
    }
}

// The most entries from the start whose sum is at most `value`.
int Find(const std::vector<std::int32_t>& tree, int value) {
    const int size = static_cast<int>(tree.size()) - 1;
    int step = 1;
    while (step * 2 <= size) {
        step *= 2;
    }
    int at = 0;
    for (; step > 0; step /= 2) {
        if (at + step <= size && tree[static_cast<std::size_t>(at + step)] <= value) {
            at += step;
            value -= tree[static_cast<std::size_t>(at)];
        }
    }
    return at;
}

// Draws an underline `thickness` thick at `y` over the pixel columns of `box`,
// in the painter's pen's colour.
void DrawUnderline(QPainter& painter, qreal y, qreal thickness, const QRect& box) {
    QPen pen(painter.pen().color());
    pen.setWidthF(thickness);
    pen.setCapStyle(Qt::FlatCap);
    painter.save();
    painter.setPen(pen);
    painter.drawLine(QLineF(box.left(), y, box.right() + 1, y));
    painter.restore();
}

// The segment that `value` falls in, from the first line or character of each
// segment (ascending, the first being 0).
int SegmentAt(const std::vector<int>& firsts, int value) {
    const auto it = std::upper_bound(firsts.begin(), firsts.end(), value);
    return std::max(static_cast<int>(it - firsts.begin()) - 1, 0);
}

} // namespace

SourceView::SourceView(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setSingleStep(1);
    InstallTextViewAccessibility();
    startLoading(false);
}

SourceView::~SourceView() = default;

void SourceView::setSourceText(std::string gbk, bool inIdleTime) {
    gbk_ = std::move(gbk);
    source_ = &gbk_;
    startLoading(inIdleTime);
}

void SourceView::setSourceTextFrom(const std::string& gbk) {
    std::string().swap(gbk_);
    source_ = &gbk;
    startLoading(true);
}

void SourceView::startLoading(bool inIdleTime) {
    underline_ = {};
    if (idle_ != nullptr) {
        idle_->stop();
    }
    bytes_ = source_->size();
    loaded_ = 0;
    characters_ = 0;
    stretches_.clear();
    stretches_.reserve((bytes_ + kStretch - 1) / kStretch);
    lastByte_ = 0;
    lastPosition_ = 0;
    paragraphStarts_.assign(1, 0);
    marks_.clear();
    caret_ = anchor_ = 0;
    top_ = {};
    fracture_ = 0;
    loading_ = true;
    dropLayouts();
    if (!inIdleTime) {
        finishLoading();
        return;
    }
    if (idle_ == nullptr) {
        idle_ = new QTimer(this);
        idle_->setInterval(0);
        connect(idle_, &QTimer::timeout, this, [this] {
            // A few milliseconds at a time: other events come in between.
            QElapsedTimer spent;
            spent.start();
            while (loading_ && spent.elapsed() < 8) {
                loadSlice(loaded_ + kSlice);
            }
            if (!loading_) {
                idle_->stop();
            }
        });
    }
    idle_->start();
}

void SourceView::finishLoading() const {
    while (loading_) {
        const_cast<SourceView*>(this)->loadSlice(loaded_ + kSlice);
    }
}

void SourceView::loadSlice(std::size_t until) {
    // Where the stretches' first characters and the paragraphs are.
    until = std::min(until, bytes_);
    const auto* bytes = reinterpret_cast<const unsigned char*>(source_->data());
    std::size_t i = loaded_;
    int position = characters_;
    while (i < until) {
        if (i >= stretches_.size() * kStretch) {
            // The first character of a stretch: at its first byte or its second.
            stretches_.push_back(position * 2 + static_cast<std::int32_t>(i % kStretch));
        }
        const unsigned char b = bytes[i];
        if (b < 0x80 && b != '\r' && b != '\n') {
            ++i;
            ++position;
            continue;
        }
        const std::size_t size = groupSize(i);
        i += size;
        ++position;
        if (b == '\r' || b == '\n') {
            paragraphStarts_.push_back(position);
        }
    }
    loaded_ = i;
    characters_ = position;
    if (loaded_ < bytes_) {
        return;
    }
    loading_ = false;
    if (stretches_.size() * kStretch < bytes_) {
        // The last stretch begins at the second byte of the last character.
        stretches_.push_back(characters_ * 2 + 1);
    }
    // One past the last paragraph: as if a line break followed the text.
    paragraphStarts_.push_back(characters_ + 1);
    paragraphStarts_.shrink_to_fit();
    dropLayouts();
    adjustScrollBars();
    viewport()->update();
}

std::size_t SourceView::groupSize(std::size_t offset) const {
    // A lead byte and the byte after it, or CR LF, are one character.
    const auto* bytes = reinterpret_cast<const unsigned char*>(source_->data());
    const unsigned char b = bytes[offset];
    const bool pair =
        offset + 1 < bytes_ && (exam::IsLeadByte(b) || (b == '\r' && bytes[offset + 1] == '\n'));
    return pair ? 2 : 1;
}

std::size_t SourceView::indexBytes() const {
    finishLoading();
    return paragraphStarts_.capacity() * sizeof(std::int32_t) +
           lineTree_.capacity() * sizeof(std::int32_t) + counted_.capacity() / 8 +
           stretches_.capacity() * sizeof(std::int32_t);
}

int SourceView::positionAt(int offset) const {
    finishLoading();
    if (offset < 0 || static_cast<std::size_t>(offset) >= bytes_) {
        return -1;
    }
    const auto at = static_cast<std::size_t>(offset);
    // Read on from the stretch's first character, or from the character found
    // last when that is nearer (marks go forward a character at a time).
    const std::int32_t first = stretches_[at / kStretch];
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

std::size_t SourceView::byteOf(int position) const {
    if (position >= characters_) {
        return bytes_;
    }
    position = std::max(position, 0);
    // The last stretch whose first character is at or before `position`.
    const auto it = std::upper_bound(stretches_.begin(), stretches_.end(), position,
                                     [](int p, std::int32_t entry) { return p < (entry >> 1); });
    const auto index =
        static_cast<std::size_t>(std::max<std::ptrdiff_t>(it - stretches_.begin() - 1, 0));
    const std::int32_t first = stretches_[index];
    std::size_t byte = index * kStretch + static_cast<std::size_t>(first & 1);
    int at = first >> 1;
    while (at < position) {
        byte += groupSize(byte);
        ++at;
    }
    return byte;
}

QString SourceView::decode(int from, int to) const {
    from = std::clamp(from, 0, characters_);
    to = std::clamp(to, from, characters_);
    QString text(to - from, Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(text.data());
    const auto* bytes = reinterpret_cast<const unsigned char*>(source_->data());
    PairTable& pairs = Pairs();
    std::size_t i = byteOf(from);
    for (int n = 0; n < to - from; ++n) {
        const unsigned char b = bytes[i];
        if (b < 0x80 && b != '\r' && b != '\n') {
            out[n] = static_cast<char16_t>(b);
            ++i;
            continue;
        }
        const std::size_t size = groupSize(i);
        if (b == '\r' || b == '\n') {
            out[n] = u'\n';
        } else {
            out[n] = size == 2 ? pairs.decode(b, bytes[i + 1]) : pairs.decode(b);
        }
        i += size;
    }
    return text;
}

QString SourceView::shownText() const {
    finishLoading();
    return decode(0, characters_);
}

QString SourceView::shownText(int from, int to) const {
    finishLoading();
    return decode(from, to);
}

int SourceView::characterCount() const {
    finishLoading();
    return characters_;
}

QChar SourceView::characterAt(int position) const {
    finishLoading();
    if (position < 0 || position >= characters_) {
        return {};
    }
    return decode(position, position + 1).front();
}

int SourceView::paragraphCount() const {
    finishLoading();
    return static_cast<int>(paragraphStarts_.size()) - 1;
}

// Paragraphs ----------------------------------------------------------------

int SourceView::paragraphOf(int position) const {
    const auto it = std::upper_bound(paragraphStarts_.begin(), paragraphStarts_.end() - 1,
                                     std::max(position, 0));
    return static_cast<int>(it - paragraphStarts_.begin()) - 1;
}

int SourceView::paragraphStart(int paragraph) const {
    return paragraphStarts_[static_cast<std::size_t>(paragraph)];
}

int SourceView::paragraphLength(int paragraph) const {
    return paragraphStarts_[static_cast<std::size_t>(paragraph) + 1] - paragraphStart(paragraph) -
           1;
}

bool SourceView::isLong(int paragraph) const {
    return paragraphLength(paragraph) > kSegment;
}

int SourceView::linesOf(int paragraph) const {
    return Prefix(lineTree_, paragraph + 1) - Prefix(lineTree_, paragraph);
}

void SourceView::setLinesOf(int paragraph, int lines) {
    const int delta = std::max(lines, 1) - linesOf(paragraph);
    if (delta != 0) {
        Add(lineTree_, paragraph, delta);
        bottomLines_ = -1;
        adjustLater();
    }
}

int SourceView::firstLineOf(int paragraph) const {
    return Prefix(lineTree_, paragraph);
}

int SourceView::totalLines() const {
    return Prefix(lineTree_, paragraphCount());
}

SourceView::Line SourceView::lineAtNumber(int number) const {
    const int count = paragraphCount();
    const int paragraph = std::min(Find(lineTree_, std::max(number, 0)), count - 1);
    int line = std::max(number, 0) - firstLineOf(paragraph);
    if (isLong(paragraph) && line > 0) {
        extendToLine(paragraph, line);
    }
    line = std::min(line, linesOf(paragraph) - 1);
    return {paragraph, line};
}

bool SourceView::counted(int paragraph) const {
    return counted_[static_cast<std::size_t>(paragraph)];
}

void SourceView::ensureCounted(int paragraph) const {
    if (!counted(paragraph)) {
        (void)piece(paragraph, 0);
    }
}

// Layout --------------------------------------------------------------------

qreal SourceView::lineWidth() const {
    // As a plain text edit breaks its lines: at the viewport's width less the
    // margins on both sides.
    const int width = viewport()->width();
    return (width > 0 ? qreal(width) : qreal(INT_MAX)) - 2 * margin_;
}

void SourceView::setDocumentMargin(qreal margin) {
    if (margin != margin_) {
        margin_ = margin;
        dropLayouts();
        adjustScrollBars();
        viewport()->update();
    }
}

qreal SourceView::advance(const QTextLine& line) {
    qreal height = line.height();
    if (line.leading() < 0) {
        height += std::ceil(line.leading());
    }
    return height;
}

std::unique_ptr<QTextLayout> SourceView::layOut(int paragraph, int from, int to) const {
    const int start = paragraphStart(paragraph);
    auto layout = std::make_unique<QTextLayout>(decode(start + from, start + to), font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    const qreal width = lineWidth();
    qreal height = 0;
    layout->beginLayout();
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(width);
        line.setPosition(QPointF(margin_, height));
        height += advance(line);
    }
    layout->endLayout();
    ++layoutsMade_;
    return layout;
}

SourceView::LongParagraph& SourceView::longOf(int paragraph) const {
    const auto found = long_.find(paragraph);
    if (found != long_.end()) {
        return found->second;
    }
    LongParagraph& entry = long_[paragraph];
    extendOnce(paragraph);
    return entry;
}

void SourceView::extendOnce(int paragraph) const {
    // The next segment laid out from the last line start found: its lines but
    // the last, which the segment's end may have cut, are the paragraph's.
    LongParagraph& entry = long_[paragraph];
    if (entry.complete) {
        return;
    }
    const int length = paragraphLength(paragraph);
    const int segment = static_cast<int>(entry.starts.size()) - 1;
    const int from = entry.starts.back();
    const int to = std::min(length, from + kSegment);
    std::unique_ptr<QTextLayout> layout = layOut(paragraph, from, to);
    const int laid = layout->lineCount();
    int lines = laid;
    int end = to;
    if (to == length) {
        entry.complete = true;
    } else if (laid > 1) {
        lines = laid - 1;
        end = from + layout->lineAt(lines).textStart();
    }
    const int firstLine = entry.lines.back();
    if (!entry.complete) {
        entry.starts.push_back(end);
        entry.lines.push_back(firstLine + lines);
    }
    // Lines found, and those of the rest guessed at the rate found so far.
    const int known = firstLine + lines;
    const int rest = length - end;
    const int guessed =
        entry.complete ? 0
                       : static_cast<int>((static_cast<long long>(rest) * known + end - 1) / end);
    entry.lineCount = known + guessed;
    counted_[static_cast<std::size_t>(paragraph)] = true;
    const_cast<SourceView*>(this)->setLinesOf(paragraph, entry.lineCount);

    auto piece = std::make_unique<Piece>();
    piece->paragraph = paragraph;
    piece->segment = segment;
    piece->from = from;
    piece->to = entry.complete ? length : end;
    piece->firstLine = firstLine;
    piece->lines = lines;
    piece->layout = std::move(layout);
    piece->used = 0; // kept only while nothing else needs the room
    trim();
    pieces_.push_back(std::move(piece));
}

void SourceView::extendToLine(int paragraph, int line) const {
    LongParagraph& entry = longOf(paragraph);
    while (!entry.complete && entry.lines.back() <= line) {
        extendOnce(paragraph);
    }
}

void SourceView::extendToCharacter(int paragraph, int character) const {
    LongParagraph& entry = longOf(paragraph);
    while (!entry.complete && entry.starts.back() <= character) {
        extendOnce(paragraph);
    }
}

int SourceView::segmentOfLine(int paragraph, int line) const {
    if (!isLong(paragraph)) {
        return 0;
    }
    extendToLine(paragraph, line);
    return SegmentAt(long_.at(paragraph).lines, line);
}

int SourceView::segmentOfCharacter(int paragraph, int character) const {
    if (!isLong(paragraph)) {
        return 0;
    }
    extendToCharacter(paragraph, character);
    return SegmentAt(long_.at(paragraph).starts, character);
}

SourceView::Piece& SourceView::piece(int paragraph, int segment) const {
    for (const auto& kept : pieces_) {
        if (kept->paragraph == paragraph && kept->segment == segment) {
            kept->used = uses_;
            return *kept;
        }
    }
    trim();
    auto made = std::make_unique<Piece>();
    made->paragraph = paragraph;
    made->segment = segment;
    made->used = uses_;
    if (!isLong(paragraph)) {
        made->to = paragraphLength(paragraph);
        made->layout = layOut(paragraph, 0, made->to);
        made->lines = std::max(made->layout->lineCount(), 1);
        counted_[static_cast<std::size_t>(paragraph)] = true;
        const_cast<SourceView*>(this)->setLinesOf(paragraph, made->lines);
    } else {
        LongParagraph& entry = longOf(paragraph);
        while (!entry.complete && segment + 1 >= static_cast<int>(entry.starts.size())) {
            extendOnce(paragraph); // makes the piece of the segment it finds
        }
        for (const auto& kept : pieces_) {
            if (kept->paragraph == paragraph && kept->segment == segment) {
                kept->used = uses_;
                return *kept;
            }
        }
        const int length = paragraphLength(paragraph);
        const auto index = static_cast<std::size_t>(segment);
        made->from = entry.starts[index];
        const bool last = index + 1 >= entry.starts.size();
        made->to = last ? length : entry.starts[index + 1];
        made->firstLine = entry.lines[index];
        made->layout = layOut(paragraph, made->from, std::min(length, made->from + kSegment));
        made->lines = last ? made->layout->lineCount() : entry.lines[index + 1] - made->firstLine;
    }
    pieces_.push_back(std::move(made));
    return *pieces_.back();
}

SourceView::Piece& SourceView::pieceOfLine(int paragraph, int line) const {
    return piece(paragraph, segmentOfLine(paragraph, line));
}

SourceView::Piece& SourceView::pieceOfCharacter(int paragraph, int character) const {
    return piece(paragraph, segmentOfCharacter(paragraph, character));
}

void SourceView::trim() const {
    // Layouts not used in the current step go, the oldest first, beyond a few.
    long long characters = 0;
    for (const auto& p : pieces_) {
        characters += p->to - p->from;
    }
    if ((pieces_.size() < kKeptLayouts && characters < kKeptCharacters) ||
        std::all_of(pieces_.begin(), pieces_.end(),
                    [this](const auto& p) { return p->used == uses_; })) {
        return;
    }
    std::vector<std::unique_ptr<Piece>> kept;
    std::stable_sort(pieces_.begin(), pieces_.end(),
                     [](const auto& a, const auto& b) { return a->used > b->used; });
    characters = 0;
    for (auto& p : pieces_) {
        if (p->used == uses_ ||
            (kept.size() < kKeptLayouts / 2 && characters < kKeptCharacters / 2)) {
            characters += p->to - p->from;
            kept.push_back(std::move(p));
        }
    }
    pieces_ = std::move(kept);
}

void SourceView::dropLayouts() {
    pieces_.clear();
    long_.clear();
    lineBytes_.clear();
    lineBytesNext_ = {};
    underline_ = {};
    bottomLines_ = -1;
    const std::size_t count = loading_ ? 1 : paragraphStarts_.size() - 1;
    counted_.assign(count, false);
    // Every paragraph one line until it is laid out.
    lineTree_.assign(count + 1, 0);
    for (std::size_t i = 1; i <= count; ++i) {
        lineTree_[i] = static_cast<std::int32_t>(i & (~i + 1));
    }
    laidOutWidth_ = viewport()->width();
}

void SourceView::keepOnly(const std::vector<const Piece*>& onScreen) {
    std::erase_if(pieces_, [&](const std::unique_ptr<Piece>& p) {
        return std::find(onScreen.begin(), onScreen.end(), p.get()) == onScreen.end();
    });
}

QTextLine SourceView::textLine(Line line, const Piece** found) const {
    const Piece& p = pieceOfLine(line.paragraph, line.line);
    if (found != nullptr) {
        *found = &p;
    }
    const int index = std::clamp(line.line - p.firstLine, 0, std::max(p.lines - 1, 0));
    return p.layout->lineAt(index);
}

SourceView::Line SourceView::next(Line line) const {
    ensureCounted(line.paragraph);
    if (isLong(line.paragraph)) {
        extendToLine(line.paragraph, line.line + 1);
    }
    if (line.line + 1 < linesOf(line.paragraph)) {
        return {line.paragraph, line.line + 1};
    }
    if (line.paragraph + 1 < paragraphCount()) {
        return {line.paragraph + 1, 0};
    }
    return line;
}

SourceView::Line SourceView::previous(Line line) const {
    if (line.line > 0) {
        return {line.paragraph, line.line - 1};
    }
    if (line.paragraph == 0) {
        return line;
    }
    const int paragraph = line.paragraph - 1;
    ensureCounted(paragraph);
    if (isLong(paragraph)) {
        extendToLine(paragraph, INT_MAX);
    }
    return {paragraph, linesOf(paragraph) - 1};
}

SourceView::Line SourceView::step(Line line, int delta) const {
    for (; delta > 0; --delta) {
        const Line after = next(line);
        if (after.paragraph == line.paragraph && after.line == line.line) {
            break;
        }
        line = after;
    }
    for (; delta < 0; ++delta) {
        const Line before = previous(line);
        if (before.paragraph == line.paragraph && before.line == line.line) {
            break;
        }
        line = before;
    }
    return line;
}

SourceView::Line SourceView::lineOfPosition(int position) const {
    position = std::clamp(position, 0, characters_);
    const int paragraph = paragraphOf(position);
    const int character = position - paragraphStart(paragraph);
    const Piece& p = pieceOfCharacter(paragraph, character);
    QTextLine line = p.layout->lineForTextPosition(character - p.from);
    const int index = line.isValid() ? std::min(line.lineNumber(), p.lines - 1) : p.lines - 1;
    return {paragraph, p.firstLine + std::max(index, 0)};
}

qreal SourceView::documentOffset(Line top) const {
    // As a plain text edit measures its scrolling: from its top line's
    // paragraph (or stretch of one) to where the line above that line ends,
    // less the margin at the very top.
    if (top.paragraph == 0 && top.line == 0) {
        return -margin_;
    }
    if (top.line == 0) {
        return 0;
    }
    const Piece* p = nullptr;
    (void)textLine(top, &p);
    const int index = top.line - p->firstLine;
    return index <= 0 ? 0 : p->layout->lineAt(index - 1).naturalTextRect().bottom();
}

qreal SourceView::topOffset() const {
    const Piece* p = nullptr;
    const QTextLine line = textLine(top_, &p);
    return line.y() - documentOffset(top_) - fracture_;
}

int SourceView::screenLines() const {
    return viewport()->height() / std::max(1, QFontMetrics(font()).lineSpacing()) + 1;
}

bool SourceView::lineTop(Line line, qreal& y, int reach) const {
    y = topOffset();
    Line at = top_;
    const auto before = [](Line a, Line b) {
        return a.paragraph < b.paragraph || (a.paragraph == b.paragraph && a.line < b.line);
    };
    if (before(line, at)) {
        for (int n = 0; n < reach && before(line, at); ++n) {
            at = previous(at);
            y -= advance(textLine(at));
        }
        return !before(line, at) && !before(at, line);
    }
    for (int n = 0; n < reach && before(at, line); ++n) {
        const Line after = next(at);
        if (!before(at, after)) {
            return false;
        }
        y += advance(textLine(at));
        at = after;
    }
    return !before(line, at) && !before(at, line);
}

// Scrolling -----------------------------------------------------------------

void SourceView::adjustLater() {
    if (adjustPending_) {
        return;
    }
    adjustPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            adjustPending_ = false;
            adjustScrollBars();
        },
        Qt::QueuedConnection);
}

void SourceView::adjustScrollBars() {
    // A hidden view lays nothing out: it is counted when it is shown.
    if (loading_ || adjusting_ || !isVisible()) {
        return;
    }
    beginUse();
    // As a plain text edit counts: the lines that fill the viewport from the
    // end are the last screenful; a long last paragraph still being found is
    // taken at its guessed lines.
    const int count = paragraphCount();
    if (bottomLines_ < 0) {
        const qreal visible = viewport()->rect().height() - margin_ - 1;
        qreal y = 0;
        int fromBottom = 0;
        for (int paragraph = count - 1; paragraph >= 0; --paragraph) {
            if (isLong(paragraph) && !longOf(paragraph).complete) {
                fromBottom += std::max(1, static_cast<int>(visible) /
                                              std::max(1, QFontMetrics(font()).lineSpacing()));
                break;
            }
            ensureCounted(paragraph);
            const int lines = linesOf(paragraph);
            std::vector<qreal> tops;
            qreal height = 0;
            for (int line = 0; line < lines; ++line) {
                const QTextLine textLine = this->textLine({paragraph, line});
                tops.push_back(height);
                height += advance(textLine);
            }
            if (paragraph == count - 1) {
                height += margin_;
            }
            y += height;
            if (y > visible) {
                int line = 0;
                while (line < lines && tops[static_cast<std::size_t>(line)] < y - visible) {
                    ++line;
                }
                fromBottom += lines - line;
                break;
            }
            fromBottom += lines;
        }
        bottomLines_ = fromBottom;
    }
    const int maximum = std::max(0, totalLines() - bottomLines_);
    QScrollBar* bar = verticalScrollBar();
    adjusting_ = true;
    bar->setRange(0, maximum);
    bar->setPageStep(bottomLines_);
    bar->setValue(numberOf(top_));
    adjusting_ = false;
    if (bar->value() != numberOf(top_)) {
        moveTop(lineAtNumber(bar->value()));
    }
    // The scroll bar comes or goes now, not after the next paint: setting the
    // margins places the viewport at once (the lines are then broken afresh).
    if (bar->isVisibleTo(this) != (maximum > 0) && !placing_) {
        placing_ = true;
        setViewportMargins(viewportMargins());
        placing_ = false;
    }
}

void SourceView::setTop(Line line) {
    adjusting_ = true;
    verticalScrollBar()->setValue(numberOf(line));
    adjusting_ = false;
    if (verticalScrollBar()->value() != numberOf(line)) {
        line = lineAtNumber(verticalScrollBar()->value());
    }
    moveTop(line);
}

void SourceView::moveTop(Line line) {
    // As a plain text edit scrolls: the pixels shown move by whole pixels, and
    // the fraction of a pixel left over stays with what is painted next.
    if (line.paragraph == top_.paragraph && line.line == top_.line) {
        return;
    }
    if (!isVisible() || !viewport()->updatesEnabled()) {
        top_ = line;
        fracture_ = 0;
        return;
    }
    qreal y = 0;
    qreal moved = 0;
    const Line old = top_;
    if (lineTop(line, y, 2 * screenLines())) {
        const Piece* p = nullptr;
        const QTextLine text = textLine(line, &p);
        moved = text.y() - documentOffset(line) - y;
    } else {
        // Far away: lines advance by whole pixels, so only the fractions of
        // the offsets and the direction decide the fraction left.
        const qreal fraction = documentOffset(old) + fracture_ - documentOffset(line);
        const bool down = line.paragraph > old.paragraph ||
                          (line.paragraph == old.paragraph && line.line > old.line);
        moved = down ? fraction - std::ceil(fraction) - 1e6 : fraction - std::floor(fraction) + 1e6;
    }
    top_ = line;
    const int dy = static_cast<int>(moved);
    fracture_ = moved - dy;
    if (dy != 0 && std::abs(dy) < viewport()->height()) {
        viewport()->scroll(0, dy);
    } else {
        if (dy == 0) {
            fracture_ = 0;
        }
        viewport()->update();
    }
}

void SourceView::scrollContentsBy(int /*dx*/, int /*dy*/) {
    if (adjusting_) {
        return;
    }
    beginUse();
    moveTop(lineAtNumber(verticalScrollBar()->value()));
}

void SourceView::keepInSight(int offset) {
    finishLoading();
    beginUse();
    const int position = positionAt(offset);
    if (position < 0) {
        return;
    }
    const Line target = lineOfPosition(position);
    const int height = viewport()->height();
    const QTextLine line = textLine(target);
    const int lineHeight = std::max(1, static_cast<int>(line.height()));
    // Keep the line after the character in sight too, so the examinee reads ahead.
    qreal y = 0;
    const bool near = lineTop(target, y, screenLines() + 2);
    const int top = static_cast<int>(y);
    if (near && top >= 0 && top + 2 * lineHeight - 1 <= height) {
        return;
    }
    const bool above = near ? top < 0 : numberOf(target) < numberOf(top_);
    const int shown = std::max(1, height / lineHeight);
    setTop(above ? target : step(target, std::min(0, 2 - shown)));
}

void SourceView::ensureCursorVisible() {
    beginUse();
    const Line line = lineOfPosition(caret_);
    qreal y = 0;
    const int height = viewport()->height();
    const qreal lineHeight = textLine(line).height();
    const bool near = lineTop(line, y, screenLines() + 2);
    if (near && y >= 0 && y + lineHeight <= height) {
        return;
    }
    const bool above = near ? y < 0 : numberOf(line) < numberOf(top_);
    const int shown = std::max(1, static_cast<int>(height / std::max<qreal>(1, lineHeight)));
    setTop(above ? line : step(line, 1 - shown));
}

int SourceView::lineByteLength(int line) const {
    finishLoading();
    if (line < 0) {
        return 0;
    }
    beginUse();
    // Lines counted from the top once, as far as asked: the answer box asks
    // about its own first lines, again and again.
    while (static_cast<int>(lineBytes_.size()) <= line) {
        beginUse(); // the lines passed may let their layouts go
        const Line at = lineBytesNext_;
        if (at.paragraph >= paragraphCount()) {
            return 0;
        }
        const Piece* p = nullptr;
        const QTextLine text = textLine(at, &p);
        const int start = paragraphStart(at.paragraph) + p->from + text.textStart();
        const int end = std::min(start + text.textLength(), paragraphStart(at.paragraph) + p->to);
        lineBytes_.push_back(std::min(platform::GbkLength(decode(start, end)), kMaxLineBytes));
        const Line after = next(at);
        lineBytesNext_ = after.paragraph == at.paragraph && after.line == at.line
                             ? Line{paragraphCount(), 0}
                             : after;
    }
    return lineBytes_[static_cast<std::size_t>(line)];
}

// Marks ---------------------------------------------------------------------

void SourceView::markSource(int offset, exam::Mark mark) {
    const int position = positionAt(offset);
    if (position < 0) {
        return;
    }
    // The marks grow as far as a character is marked.
    if (static_cast<std::size_t>(position) >= marks_.size()) {
        if (mark == exam::Mark::Black || mark == exam::Mark::UnderlineOff) {
            return; // plain already
        }
        marks_.resize(static_cast<std::size_t>(position) + 1, kBlackMark);
    }
    std::uint8_t& look = marks_[static_cast<std::size_t>(position)];
    const std::uint8_t before = look;
    switch (mark) {
    case exam::Mark::Blue:
        look = static_cast<std::uint8_t>((look & ~kColourBits) | kBlueMark);
        break;
    case exam::Mark::Red:
        look = static_cast<std::uint8_t>((look & ~kColourBits) | kRedMark);
        break;
    case exam::Mark::Black:
        look = static_cast<std::uint8_t>((look & ~kColourBits) | kBlackMark);
        break;
    case exam::Mark::UnderlineOn:
        look = static_cast<std::uint8_t>(look | kUnderlineBit);
        break;
    case exam::Mark::UnderlineOff:
        look = static_cast<std::uint8_t>(look & ~kUnderlineBit);
        break;
    }
    if (look != before) {
        repaintCharacter(position);
    }
}

void SourceView::repaintCharacter(int position) {
    // Only a character on screen is painted again; one off screen is painted
    // when it comes.
    beginUse();
    const int paragraph = paragraphOf(position);
    const Line line = lineOfPosition(position);
    qreal y = 0;
    if (!lineTop(line, y, screenLines() + 1) || y > viewport()->height()) {
        return;
    }
    const Piece* p = nullptr;
    const QTextLine text = textLine(line, &p);
    if (y + text.height() < 0) {
        return;
    }
    const int inPiece = position - paragraphStart(paragraph) - p->from;
    const bool lineBreak = position - paragraphStart(paragraph) >= paragraphLength(paragraph);
    const qreal left = text.cursorToX(inPiece);
    // A line break shows as the return sign after the line's text.
    const qreal right =
        lineBreak ? text.naturalTextWidth() + text.height() : text.cursorToX(inPiece + 1);
    const QRectF rect(std::min(left, right), y, std::abs(right - left), text.height());
    // Sideways a little more, for glyphs that reach over their box; a line's
    // ink, underline and return sign included, stays within its height.
    viewport()->update(rect.toAlignedRect().adjusted(-2, 0, 2, 0));
}

SourceView::Look SourceView::lookAt(int position) const {
    finishLoading();
    if (position < 0 || static_cast<std::size_t>(position) >= marks_.size()) {
        return {QColor(0, 0, 0), false};
    }
    const std::uint8_t look = marks_[static_cast<std::size_t>(position)];
    return {ColourOf(look), (look & kUnderlineBit) != 0};
}

void SourceView::appendMarks(QList<QTextLayout::FormatRange>& ranges, int from, int to,
                             int base) const {
    to = std::min(to, static_cast<int>(marks_.size()));
    int p = std::max(from, 0);
    while (p < to) {
        const std::uint8_t look = marks_[static_cast<std::size_t>(p)];
        int end = p + 1;
        while (end < to && marks_[static_cast<std::size_t>(end)] == look) {
            ++end;
        }
        if (look != kBlackMark) {
            QTextLayout::FormatRange range;
            range.start = p - base;
            range.length = end - p;
            range.format.setForeground(ColourOf(look));
            if ((look & kUnderlineBit) != 0) {
                range.format.setFontUnderline(true);
            }
            ranges.append(range);
        }
        p = end;
    }
}

// Painting ------------------------------------------------------------------

void SourceView::drawLineBreakSign(QPainter& painter, const Piece& piece, QPointF at) const {
    const int position = paragraphStart(piece.paragraph) + paragraphLength(piece.paragraph);
    if (piece.to != paragraphLength(piece.paragraph) || position < 0 ||
        static_cast<std::size_t>(position) >= marks_.size() ||
        (marks_[static_cast<std::size_t>(position)] & kUnderlineBit) == 0) {
        return;
    }
    const QTextLine line = piece.layout->lineAt(piece.lines - 1);
    const qreal h = line.height();
    const QPointF corner = at + QPointF(line.naturalTextWidth(), line.y());
    // A return sign: down from the top right, then left, with an arrowhead.
    const qreal left = corner.x() + h * 0.2;
    const qreal right = corner.x() + h * 0.75;
    const qreal top = corner.y() + h * 0.25;
    const qreal base = corner.y() + h * 0.65;
    const qreal head = h * 0.15;
    QPainterPath sign;
    sign.moveTo(right, top);
    sign.lineTo(right, base);
    sign.lineTo(left, base);
    sign.moveTo(left + head, base - head);
    sign.lineTo(left, base);
    sign.lineTo(left + head, base + head);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(ColourOf(marks_[static_cast<std::size_t>(position)]));
    pen.setWidthF(std::max(1.0, h / 14));
    painter.setPen(pen);
    painter.drawPath(sign);
    painter.restore();
}

const SourceView::Underline& SourceView::underlineOf(const QTextLayout& layout, int number) const {
    // As text drawing underlines a line: at the lowest of its faces' underline
    // positions, with the thickest of their lines; never below the line. Kept
    // for the line last asked about, the underlined character's.
    const QTextLine line = layout.lineAt(number);
    Underline& known = underline_;
    if (known.layout == &layout && known.start == line.textStart() &&
        known.length == line.textLength() && known.height == line.height() &&
        known.font == layout.font()) {
        return known;
    }
    known = {&layout, line.textStart(), line.textLength(), line.height(), layout.font(), 0, 0};
    bool any = false;
    for (const QGlyphRun& run : line.glyphRuns()) {
        const QRawFont font = run.rawFont();
        const qreal offset = font.underlinePosition();
        qreal adjusted = std::ceil(offset) + 0.5;
        if (offset <= font.descent()) {
            adjusted = std::min(adjusted, font.descent() - 0.5);
        }
        known.y = any ? std::max(known.y, line.ascent() + adjusted) : line.ascent() + adjusted;
        known.thickness =
            any ? std::max(known.thickness, font.lineThickness()) : font.lineThickness();
        any = true;
    }
    known.y = std::min(known.y, line.height() - known.thickness / 2);
    return known;
}

void SourceView::drawMarkedPiece(QPainter& painter, const Piece& piece, QPointF at,
                                 const QRect& exposed) const {
    // The lines in `exposed`, each glyph once, in the look of its character:
    // only the glyphs near `exposed`, a run of equal marks at a time. A glyph's
    // ink is taken to stay within its line, and within a quarter of a line's
    // height of its box sideways. An underline takes the pixel columns whose
    // centres its character's box holds.
    const QTextLayout* layout = piece.layout.get();
    const int first = paragraphStart(piece.paragraph) + piece.from;
    const QColor pen = painter.pen().color();
    const int marked = static_cast<int>(marks_.size()) - first; // later ones are black
    for (int i = 0; i < piece.lines; ++i) {
        const QTextLine line = layout->lineAt(i);
        const qreal top = at.y() + line.y();
        if (top >= exposed.y() + exposed.height()) {
            break;
        }
        if (top + line.height() <= exposed.y()) {
            continue;
        }
        const qreal along = line.height() / 4;
        const int start = line.textStart();
        const int end = std::min(start + line.textLength(), piece.to - piece.from);
        const int from = std::max(start, line.xToCursor(exposed.left() - at.x() - along) - 1);
        const int to = std::min(end, line.xToCursor(exposed.right() + 1 - at.x() + along) + 1);
        int p = from;
        while (p < to) {
            const std::uint8_t look =
                p < marked ? marks_[static_cast<std::size_t>(first + p)] : kBlackMark;
            int runEnd = p + 1;
            while (runEnd < to &&
                   (runEnd < marked ? marks_[static_cast<std::size_t>(first + runEnd)]
                                    : kBlackMark) == look) {
                ++runEnd;
            }
            painter.setPen(look == kBlackMark ? pen : ColourOf(look));
            for (const QGlyphRun& run : line.glyphRuns(p, runEnd - p)) {
                painter.drawGlyphRun(at, run);
            }
            if ((look & kUnderlineBit) != 0) {
                const qreal left = at.x() + line.cursorToX(p);
                const qreal right = at.x() + line.cursorToX(runEnd);
                const QRectF text = line.naturalTextRect().translated(at);
                const int x0 = qRound(std::max(left, text.left()));
                const int x1 = qRound(std::min(right, text.right()));
                if (x1 > x0) {
                    const Underline& under = underlineOf(*layout, i);
                    DrawUnderline(painter, top + under.y, under.thickness,
                                  QRect(QPoint(x0, qRound(top)),
                                        QPoint(x1 - 1, qRound(top + line.height()) - 1)));
                }
            }
            p = runEnd;
        }
    }
    painter.setPen(pen);
}

bool SourceView::caretShown() const {
    return caretOn_ && hasFocus();
}

void SourceView::paintEvent(QPaintEvent* event) {
    // Line by line from the top line down to the viewport's end, each stretch
    // of a paragraph laid out once while it is on screen.
    finishLoading();
    beginUse();
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    painter.setClipRect(exposed);
    painter.setPen(QColor(0, 0, 0));
    const int height = viewport()->height();
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    const int selectionStart = std::min(caret_, anchor_);
    const int selectionEnd = std::max(caret_, anchor_);

    std::vector<const Piece*> onScreen;
    qreal y = topOffset();
    Line at = top_;
    const int count = paragraphCount();
    while (at.paragraph < count && y <= height) {
        const Piece& p = pieceOfLine(at.paragraph, at.line);
        onScreen.push_back(&p);
        const int index = std::clamp(at.line - p.firstLine, 0, p.lines - 1);
        const QTextLine first = p.layout->lineAt(index);
        const QPointF origin(0, y - first.y());
        qreal bottom = y;
        for (int i = index; i < p.lines && bottom <= height; ++i) {
            bottom += advance(p.layout->lineAt(i));
        }
        const int start = paragraphStart(p.paragraph) + p.from;
        const bool lastPiece = p.to == paragraphLength(p.paragraph);
        const int end = paragraphStart(p.paragraph) + p.to + (lastPiece ? 1 : 0);
        if (bottom >= exposed.top() && y <= exposed.bottom() + 1) {
            if (selectionStart == selectionEnd || selectionEnd <= start || selectionStart >= end) {
                drawMarkedPiece(painter, p, origin, exposed);
            } else {
                QList<QTextLayout::FormatRange> ranges;
                for (int i = index; i < p.lines; ++i) {
                    const QTextLine line = p.layout->lineAt(i);
                    appendMarks(ranges, start + line.textStart(),
                                start + line.textStart() + line.textLength(), start);
                }
                QTextLayout::FormatRange range;
                range.start = selectionStart - start; // as a plain text edit gives it
                range.length = selectionEnd - selectionStart;
                range.format.setBackground(palette().brush(group, QPalette::Highlight));
                range.format.setForeground(palette().brush(group, QPalette::HighlightedText));
                ranges.append(range);
                painter.save();
                if (!lastPiece) {
                    // The layout goes on past the piece's lines: those are the next piece's.
                    const QTextLine last = p.layout->lineAt(p.lines - 1);
                    const qreal pieceEnd = origin.y() + last.y() + advance(last);
                    painter.setClipRect(QRectF(exposed.left(), origin.y() + first.y() - 1,
                                               exposed.width(),
                                               pieceEnd - origin.y() - first.y() + 1),
                                        Qt::IntersectClip);
                }
                p.layout->draw(&painter, origin, ranges, exposed);
                painter.restore();
            }
            drawLineBreakSign(painter, p, origin);
            if (caretShown() && caret_ >= start && caret_ < end) {
                p.layout->drawCursor(&painter, origin, caret_ - start, 1);
            }
        }
        y = bottom;
        at = lastPiece ? Line{p.paragraph + 1, 0} : Line{p.paragraph, p.firstLine + p.lines};
    }
    keepOnly(onScreen);
}

void SourceView::repaintCaret() {
    const QRect rect = cursorRect(caret_);
    viewport()->update(rect.adjusted(-2, 0, 2, 0));
}

// Reading: caret and selection ------------------------------------------------

QRect SourceView::cursorRect(int position) const {
    finishLoading();
    beginUse();
    position = std::clamp(position, 0, characters_);
    const Line line = lineOfPosition(position);
    const Piece* p = nullptr;
    const QTextLine text = textLine(line, &p);
    qreal y = 0;
    if (!lineTop(line, y, 4 * screenLines())) {
        y = (numberOf(line) - numberOf(top_)) * text.height();
    }
    const int inPiece = position - paragraphStart(line.paragraph) - p->from;
    return QRectF(text.cursorToX(inPiece), y, 1, text.height()).toRect();
}

int SourceView::positionInLine(Line line, qreal x) const {
    const Piece* p = nullptr;
    const QTextLine text = textLine(line, &p);
    const int start = paragraphStart(line.paragraph) + p->from;
    const int lastInLine = text.textStart() + text.textLength();
    int cursor = text.xToCursor(x);
    // The end of a wrapped line is the start of the next: the last character's
    // place stays on this line.
    if (cursor >= lastInLine && (line.line + 1 < linesOf(line.paragraph))) {
        cursor = std::max(text.textStart(), lastInLine - 1);
    }
    return std::clamp(start + cursor, 0, characters_);
}

int SourceView::positionAtPoint(QPoint point) const {
    finishLoading();
    beginUse();
    qreal y = topOffset();
    Line at = top_;
    if (point.y() < y) {
        return positionInLine(at, point.x());
    }
    for (int n = 0; n < 4 * screenLines(); ++n) {
        const qreal h = advance(textLine(at));
        if (point.y() < y + h) {
            break;
        }
        const Line after = next(at);
        if (after.paragraph == at.paragraph && after.line == at.line) {
            break;
        }
        y += h;
        at = after;
    }
    return positionInLine(at, point.x());
}

QString SourceView::selectedText() const {
    finishLoading();
    QString text = decode(std::min(caret_, anchor_), std::max(caret_, anchor_));
    text.replace(u'\n', QChar::ParagraphSeparator);
    return text;
}

void SourceView::setCaret(int position, bool keepAnchor) {
    finishLoading();
    position = std::clamp(position, 0, characters_);
    const bool hadSelection = hasSelection();
    if (caretShown()) {
        repaintCaret();
    }
    caret_ = position;
    if (!keepAnchor) {
        anchor_ = position;
    }
    if (hadSelection || hasSelection()) {
        viewport()->update();
    }
    if (hasFocus()) {
        caretOn_ = true; // the blinking keeps its pace
        repaintCaret();
    }
    if (QAccessible::isActive()) {
        QAccessibleTextCursorEvent moved(this, caret_);
        QAccessible::updateAccessibility(&moved);
    }
}

void SourceView::setCursorPosition(int position, bool keepAnchor) {
    setCaret(position, keepAnchor);
    caretX_ = -1;
}

void SourceView::selectAll() {
    finishLoading();
    anchor_ = 0;
    setCaret(characters_, true);
    caretX_ = -1;
}

// Events --------------------------------------------------------------------

bool SourceView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut) ||
            key->matches(QKeySequence::SelectAll)) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void SourceView::showEvent(QShowEvent* event) {
    finishLoading();
    QAbstractScrollArea::showEvent(event);
    if (viewport()->width() != laidOutWidth_) {
        dropLayouts();
    }
    adjustScrollBars();
}

void SourceView::relayout() {
    // The lines are broken afresh; the top line is then the one holding the
    // character that began the top line before.
    int first = 0;
    if (!loading_ && (top_.paragraph > 0 || top_.line > 0)) {
        beginUse();
        const Piece* p = nullptr;
        const QTextLine line = textLine(top_, &p);
        first = paragraphStart(top_.paragraph) + p->from + line.textStart();
    }
    dropLayouts();
    fracture_ = 0;
    top_ = first > 0 ? lineOfPosition(first) : Line{};
}

void SourceView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    // The lines are broken afresh only when the viewport's width changes.
    if (viewport()->width() != laidOutWidth_) {
        relayout();
    }
    bottomLines_ = -1;
    adjustScrollBars();
}

void SourceView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        relayout();
        adjustScrollBars();
        viewport()->update();
    }
}

void SourceView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (flash > 0) {
        blink_.start(flash / 2, this);
    }
    setCaret(caret_, true);
    if (hasSelection()) {
        viewport()->update();
    }
}

void SourceView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    blink_.stop();
    caretOn_ = false;
    repaintCaret();
    if (hasSelection()) {
        viewport()->update();
    }
}

void SourceView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == blink_.timerId()) {
        caretOn_ = !caretOn_;
        repaintCaret();
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}

void SourceView::mousePressEvent(QMouseEvent* event) {
    // A press on selected text would start a drag of it: the selection goes first.
    if (event->button() == Qt::LeftButton) {
        const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
        setCursorPosition(positionAtPoint(event->position().toPoint()), extend);
        selecting_ = true;
    }
    event->accept();
    if (pressHandler_) {
        pressHandler_();
    }
}

void SourceView::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_ || (event->buttons() & Qt::LeftButton) == 0) {
        return;
    }
    QPoint at = event->position().toPoint();
    if (at.y() < 0) {
        setTop(step(top_, -1));
        at.setY(0);
    } else if (at.y() >= viewport()->height()) {
        setTop(step(top_, 1));
        at.setY(viewport()->height() - 1);
    }
    setCursorPosition(positionAtPoint(at), true);
}

void SourceView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && selecting_) {
        selecting_ = false;
        offerSelection();
    }
    event->accept();
}

void SourceView::offerSelection() {
    // As text views do: a selection is offered as the X11 selection, which
    // gets nothing of the text.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection()) {
        clipboard->setMimeData(createMimeDataFromSelection(), QClipboard::Selection);
    }
}

void SourceView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The word under the pointer is selected.
    if (event->button() != Qt::LeftButton) {
        return;
    }
    beginUse();
    const int position = positionAtPoint(event->position().toPoint());
    const int paragraph = paragraphOf(position);
    const int character = position - paragraphStart(paragraph);
    const Piece& p = pieceOfCharacter(paragraph, character);
    const QString text = p.layout->text();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    const int inPiece = std::clamp(character - p.from, 0, static_cast<int>(text.size()));
    finder.setPosition(inPiece);
    int from = finder.isAtBoundary() ? inPiece : static_cast<int>(finder.toPreviousBoundary());
    finder.setPosition(inPiece);
    int to = static_cast<int>(finder.toNextBoundary());
    if (from < 0) {
        from = 0;
    }
    if (to < 0) {
        to = static_cast<int>(text.size());
    }
    const int start = paragraphStart(paragraph) + p.from;
    anchor_ = start + from;
    setCaret(start + to, true);
    selecting_ = true;
    event->accept();
}

void SourceView::keyPressEvent(QKeyEvent* event) {
    finishLoading();
    beginUse();
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Cut)) {
        event->accept(); // the clipboard keeps what it holds
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        event->accept();
        return;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.front().isPrint() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        event->accept(); // typed text goes nowhere
        return;
    }
    // Moving the caret, for reading; with Shift the selection follows.
    struct Move {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
        int kind;
    };
    enum {
        kNextChar,
        kPreviousChar,
        kNextLine,
        kPreviousLine,
        kLineStart,
        kLineEnd,
        kStart,
        kEnd,
        kNextPage,
        kPreviousPage
    };
    static const Move moves[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, kNextChar},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, kPreviousChar},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, kNextLine},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, kPreviousLine},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, kLineStart},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, kLineEnd},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, kStart},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, kEnd},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, kNextPage},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, kPreviousPage},
    };
    for (const Move& move : moves) {
        const bool select = event->matches(move.select);
        if (!select && !event->matches(move.move)) {
            continue;
        }
        const Line line = lineOfPosition(caret_);
        const QRect here = cursorRect(caret_);
        const qreal x = caretX_ >= 0 ? caretX_ : here.x();
        const int pageLines = std::max(1, verticalScrollBar()->pageStep());
        int position = caret_;
        bool keepX = false;
        switch (move.kind) {
        case kNextChar:
            position = caret_ + 1;
            break;
        case kPreviousChar:
            position = caret_ - 1;
            break;
        case kNextLine:
        case kPreviousLine: {
            const Line to = step(line, move.kind == kNextLine ? 1 : -1);
            position = to.paragraph == line.paragraph && to.line == line.line
                           ? (move.kind == kNextLine ? characters_ : 0)
                           : positionInLine(to, x);
            keepX = true;
            break;
        }
        case kLineStart:
        case kLineEnd: {
            const Piece* p = nullptr;
            const QTextLine shown = textLine(line, &p);
            const int start = paragraphStart(line.paragraph) + p->from + shown.textStart();
            position = move.kind == kLineStart ? start : positionInLine(line, 1e9);
            break;
        }
        case kStart:
            position = 0;
            break;
        case kEnd:
            position = characters_;
            break;
        case kNextPage:
        case kPreviousPage: {
            // As a plain text edit pages: the view moves a screen, and the caret
            // as many lines as keep it at the same height on the screen.
            ensureCursorVisible();
            const int y = cursorRect(caret_).top();
            const bool down = move.kind == kNextPage;
            Line top = top_;
            qreal passed = down ? topOffset() : 0;
            bool atEnd = false;
            for (;;) {
                const Line after = down ? next(top) : previous(top);
                if (after.paragraph == top.paragraph && after.line == top.line) {
                    atEnd = true;
                    break;
                }
                const qreal h = advance(textLine(down ? top : after));
                if (passed + h > viewport()->height()) {
                    break;
                }
                passed += h;
                top = after;
            }
            setTop(top);
            Line at = lineOfPosition(caret_);
            for (int n = 0; n < 2 * screenLines(); ++n) {
                qreal top2 = 0;
                if (!lineTop(at, top2, 3 * screenLines()) || (down ? top2 >= y : top2 <= y)) {
                    break;
                }
                const Line further = down ? next(at) : previous(at);
                if (further.paragraph == at.paragraph && further.line == at.line) {
                    break;
                }
                at = further;
            }
            position = atEnd && down && at.paragraph == line.paragraph && at.line == line.line
                           ? characters_
                           : positionInLine(at, x);
            (void)pageLines;
            keepX = true;
            break;
        }
        default:
            break;
        }
        setCaret(position, select);
        caretX_ = keepX ? x : -1;
        ensureCursorVisible();
        offerSelection();
        event->accept();
        return;
    }
    event->ignore();
}

void SourceView::inputMethodEvent(QInputMethodEvent* event) {
    event->accept(); // no commit, no pre-edit: the source stays as loaded
}

QVariant SourceView::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (query == Qt::ImEnabled) {
        return false; // input methods leave the view alone
    }
    return QAbstractScrollArea::inputMethodQuery(query);
}

void SourceView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept(); // no menu, so no Copy entry
}

QMimeData* SourceView::createMimeDataFromSelection() const {
    return new QMimeData; // the source's text never leaves the view
}

} // namespace qarvel::ui
