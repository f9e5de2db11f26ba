#include "Fonts.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <QStringList>
#include <array>
#include <windows.h>

namespace qarvel::platform {
namespace {

struct Search {
    const wchar_t* family = nullptr; // a family to look for, or null: any
    QStringList found;
};

int CALLBACK Found(const LOGFONTW* font, const TEXTMETRICW* /*metrics*/, DWORD /*type*/,
                   LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    const QString family = QString::fromWCharArray(font->lfFaceName);
    // "@" names the same face set sideways, for vertical text.
    if (!family.startsWith(QLatin1Char('@')) && !search->found.contains(family)) {
        search->found.append(family);
    }
    return 1;
}

// The installed families with simplified Chinese (GB2312) glyphs, by the system's
// own font list (GDI), which needs no window: `family` alone, or all of them.
QStringList ChineseFamilies(const wchar_t* family, BYTE charset = GB2312_CHARSET) {
    Search search;
    search.family = family;
    LOGFONTW wanted{};
    wanted.lfCharSet = charset;
    if (family != nullptr) {
        wcsncpy(wanted.lfFaceName, family, LF_FACESIZE - 1);
    }
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &wanted, Found, reinterpret_cast<LPARAM>(&search), 0);
    ReleaseDC(nullptr, screen);
    return search.found;
}

// The faces the windows are designed for, best first: SimSun (宋体), the Song
// face of every Chinese Windows, then Microsoft YaHei (微软雅黑), its user-interface face.
constexpr std::array kChineseFamilies = {L"SimSun", L"NSimSun", L"Microsoft YaHei"};

bool HasProperLatin(const QString& song) {
    for (const char* word : {"SimSun", "YaHei", "Serif CJK", "Han Serif"}) {
        if (song.contains(QLatin1String(word), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

} // namespace

QString ChooseSongFamily() {
    for (const wchar_t* family : kChineseFamilies) {
        if (!ChineseFamilies(family).isEmpty()) {
            return QString::fromWCharArray(family);
        }
    }
    // Any face with Chinese glyphs (under Wine: the host's, such as WenQuanYi).
    const QStringList any = ChineseFamilies(nullptr);
    return any.isEmpty() ? QString() : any.front();
}

QString ChooseLatinFamily(const QString& song) {
    if (song.isEmpty() || HasProperLatin(song)) {
        return {};
    }
    for (const wchar_t* family : {L"Times New Roman", L"Liberation Serif"}) {
        if (!ChineseFamilies(family, ANSI_CHARSET).isEmpty()) {
            return QString::fromWCharArray(family);
        }
    }
    return {};
}

QString SongFamily() {
    static const QString family = ChooseSongFamily();
    return family;
}

QString LatinFamily() {
    static const QString family = ChooseLatinFamily(SongFamily());
    return family;
}

QFont SongFont(int pixels, bool bold) {
    QFont font;
    QStringList families;
    for (const QString& family : {LatinFamily(), SongFamily()}) {
        if (!family.isEmpty()) {
            families.append(family);
        }
    }
    if (!families.isEmpty()) {
        font.setFamilies(families);
    }
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace qarvel::platform
