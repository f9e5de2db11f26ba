#include "Fonts.h"

#include <QStringList>
#include <array>
#include <fontconfig/fontconfig.h>
#include <string>

namespace qarvel::platform {
namespace {

// Fontconfig's own language tag for simplified Chinese.
const FcChar8* ZhCn() {
    return reinterpret_cast<const FcChar8*>("zh-cn");
}

// Song/Ming-style serif faces, best first.
constexpr std::array kSongFamilies = {
    "SimSun",
    "NSimSun",
    "AR PL UMing CN",
    "AR PL New Sung",
    "Noto Serif CJK SC",
    "Source Han Serif SC",
    "Source Han Serif CN",
    "Noto Serif SC",
    "AR PL UMing TW",
    "AR PL UMing HK",
    "Noto Serif CJK TC",
    "Source Han Serif TC",
};

// Latin serif faces to pair with a Song face whose own Latin letters are poor,
// best first: Times-like faces, then wider ones.
constexpr std::array kLatinSerifs = {
    "Liberation Serif", "Tinos", "Times New Roman", "Noto Serif", "DejaVu Serif", "FreeSerif",
};

// Song faces whose own Latin letters, digits and punctuation read right.
bool HasProperLatin(const QString& song) {
    for (const char* word : {"SimSun", "Serif CJK", "Han Serif", "Noto Serif SC"}) {
        if (song.contains(QLatin1String(word), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

class FontList {
public:
    explicit FontList(FcPattern* pattern) {
        FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_LANG, nullptr);
        set_ = FcFontList(nullptr, pattern, objects);
        FcObjectSetDestroy(objects);
        FcPatternDestroy(pattern);
    }
    ~FontList() {
        if (set_ != nullptr) {
            FcFontSetDestroy(set_);
        }
    }
    FontList(const FontList&) = delete;
    FontList& operator=(const FontList&) = delete;

    [[nodiscard]] int size() const { return set_ == nullptr ? 0 : set_->nfont; }
    [[nodiscard]] FcPattern* at(int i) const { return set_->fonts[i]; }

private:
    FcFontSet* set_ = nullptr;
};

bool CoversChinese(FcPattern* font) {
    FcLangSet* langs = nullptr;
    return FcPatternGetLangSet(font, FC_LANG, 0, &langs) == FcResultMatch &&
           FcLangSetHasLang(langs, ZhCn()) == FcLangEqual;
}

QString FirstFamily(FcPattern* font) {
    FcChar8* family = nullptr;
    if (FcPatternGetString(font, FC_FAMILY, 0, &family) != FcResultMatch) {
        return {};
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(family));
}

// True when a font of exactly this family is installed and covers Chinese.
bool Installed(const char* family) {
    const FontList list(FcPatternBuild(nullptr, FC_FAMILY, FcTypeString, family, nullptr));
    for (int i = 0; i < list.size(); ++i) {
        if (CoversChinese(list.at(i))) {
            return true;
        }
    }
    return false;
}

// True when a font of exactly this family is installed and has Latin letters.
bool InstalledLatin(const char* family) {
    const FontList list(FcPatternBuild(nullptr, FC_FAMILY, FcTypeString, family, nullptr));
    for (int i = 0; i < list.size(); ++i) {
        FcLangSet* langs = nullptr;
        if (FcPatternGetLangSet(list.at(i), FC_LANG, 0, &langs) == FcResultMatch &&
            FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("en")) == FcLangEqual) {
            return true;
        }
    }
    return false;
}

bool LooksLikeSong(const QString& family) {
    for (const char* word : {"song", "sung", "ming", "serif cjk", "han serif"}) {
        if (family.contains(QLatin1String(word), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return family.contains(QStringLiteral("宋")) || family.contains(QStringLiteral("明"));
}

// Every installed family that covers Chinese, in fontconfig's order of preference
// for `generic` ("serif" or "sans-serif").
QStringList ChineseFamilies(const char* generic) {
    QStringList families;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(generic));
    FcLangSet* langs = FcLangSetCreate();
    FcLangSetAdd(langs, ZhCn());
    FcPatternAddLangSet(pattern, FC_LANG, langs);
    FcLangSetDestroy(langs);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* sorted = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    FcPatternDestroy(pattern);
    if (sorted == nullptr) {
        return families;
    }
    for (int i = 0; i < sorted->nfont; ++i) {
        if (CoversChinese(sorted->fonts[i])) {
            const QString family = FirstFamily(sorted->fonts[i]);
            if (!family.isEmpty() && !families.contains(family)) {
                families.append(family);
            }
        }
    }
    FcFontSetDestroy(sorted);
    return families;
}

} // namespace

QString ChooseSongFamily() {
    if (FcInit() == FcFalse) {
        return {};
    }
    for (const char* family : kSongFamilies) {
        if (Installed(family)) {
            return QString::fromUtf8(family);
        }
    }
    const QStringList serif = ChineseFamilies("serif");
    for (const QString& family : serif) {
        if (LooksLikeSong(family)) {
            return family;
        }
    }
    const QStringList any = ChineseFamilies("sans-serif");
    if (!any.isEmpty()) {
        return any.front();
    }
    return serif.isEmpty() ? QString() : serif.front();
}

QString ChooseLatinFamily(const QString& song) {
    if (FcInit() == FcFalse || HasProperLatin(song)) {
        return {};
    }
    for (const char* family : kLatinSerifs) {
        if (InstalledLatin(family)) {
            return QString::fromUtf8(family);
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
    // Letters, digits and Latin punctuation come from the Latin face, which
    // has no Chinese; everything else falls through to the Song face.
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
