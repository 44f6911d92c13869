// Watermark font loading. fontconfig decides what a family name stands for:
// its substitution lists the requested name, then the aliases the system
// declares for it (Arial -> Liberation Sans), then the generic fallback
// faces. A name whose best match comes only from that fallback is not a font
// the system has, so it is refused rather than drawn in some other face.
#include "engine/steps/watermark_font.h"

#include "settings/setting_codes.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QGuiApplication>
#include <QString>

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

namespace quill {

namespace {

struct PatternDestroy {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDestroy>;

// The generic families whose substitution makes up the fallback tail.
constexpr const char* genericFamilies[] = {"sans-serif", "serif",     "monospace", "cursive",
                                           "fantasy",    "system-ui", "emoji",     "math"};

// How many leading entries of a generic list must line up to count as its tail.
constexpr size_t tailProbe = 4;

const FcChar8* fcText(const std::string& text)
{
    return reinterpret_cast<const FcChar8*>(text.c_str());
}

// fontconfig compares family names ignoring letter case and blanks; so do we.
std::string familyKey(const std::string& family)
{
    std::string key;
    for (char c : family) {
        if (c == ' ')
            continue;
        key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return key;
}

bool sameFamily(const std::string& a, const std::string& b)
{
    return familyKey(a) == familyKey(b);
}

std::vector<std::string> familiesOf(FcPattern* pattern)
{
    std::vector<std::string> families;
    FcChar8* family = nullptr;
    for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &family) == FcResultMatch; ++i)
        families.emplace_back(reinterpret_cast<const char*>(family));
    return families;
}

// The request after the system's substitution rules: itself, its declared
// aliases, then the generic fallback.
Pattern substitutedRequest(const std::string& family)
{
    Pattern pattern(FcPatternCreate());
    if (!pattern || !FcPatternAddString(pattern.get(), FC_FAMILY, fcText(family)))
        return nullptr;
    if (!FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern))
        return nullptr;
    FcDefaultSubstitute(pattern.get());
    return pattern;
}

bool continuesWith(const std::vector<std::string>& families, size_t from, const std::vector<std::string>& tail)
{
    const size_t count = std::min({tailProbe, tail.size(), families.size() - from});
    if (count == 0)
        return false;
    for (size_t i = 0; i < count; ++i)
        if (!sameFamily(families[from + i], tail[i]))
            return false;
    return true;
}

// Where the generic fallback begins in a substituted family list.
size_t fallbackStart(const std::vector<std::string>& families)
{
    size_t start = families.size();
    for (const char* generic : genericFamilies) {
        Pattern genericRequest = substitutedRequest(generic);
        if (!genericRequest)
            continue;
        const std::vector<std::string> tail = familiesOf(genericRequest.get());
        for (size_t i = 0; i < start; ++i) {
            if (continuesWith(families, i, tail)) {
                start = i;
                break;
            }
        }
    }
    return start;
}

// The family of the face the system resolves the name to, when that face is
// the named family or one the system declares for it.
std::optional<std::string> resolvedFamily(const std::string& requested)
{
    Pattern request = substitutedRequest(requested);
    if (!request)
        return std::nullopt;
    FcResult result = FcResultNoMatch;
    Pattern match(FcFontMatch(nullptr, request.get(), &result));
    if (!match)
        return std::nullopt;
    const std::vector<std::string> matchedFamilies = familiesOf(match.get());
    if (matchedFamilies.empty())
        return std::nullopt;

    const std::vector<std::string> candidates = familiesOf(request.get());
    const size_t declaredEnd = fallbackStart(candidates);
    for (const std::string& matched : matchedFamilies) {
        if (sameFamily(matched, requested))
            return matchedFamilies.front();
        for (size_t i = 0; i < declaredEnd; ++i)
            if (sameFamily(matched, candidates[i]))
                return matchedFamilies.front();
    }
    return std::nullopt;
}

}  // namespace

bool guiLayerExists()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

std::optional<WatermarkFont> loadWatermarkFont(const Settings& settings)
{
    if (settings.wmFont.empty() || settings.wmFontSize <= 0)
        return std::nullopt;
    std::optional<std::string> family = resolvedFamily(settings.wmFont);
    if (!family || !guiLayerExists())
        return std::nullopt;

    WatermarkFont font;
    font.family = *family;
    font.pointSize = settings.wmFontSize;
    font.bold = is(settings.wmFontStyle, FontStyle::Bold) || is(settings.wmFontStyle, FontStyle::BoldItalic);
    font.italic = is(settings.wmFontStyle, FontStyle::Italic) || is(settings.wmFontStyle, FontStyle::BoldItalic);
    font.underline = is(settings.wmFontEffect, FontEffect::Underline);
    font.strikeOut = is(settings.wmFontEffect, FontEffect::Strikeout);

    // Qt must draw with the face fontconfig approved, not a substitute of its own.
    if (!sameFamily(QFontInfo(qtFont(font)).family().toStdString(), font.family))
        return std::nullopt;
    return font;
}

QFont qtFont(const WatermarkFont& font)
{
    QFont result(QString::fromStdString(font.family));
    result.setPointSize(font.pointSize);
    result.setBold(font.bold);
    result.setItalic(font.italic);
    result.setUnderline(font.underline);
    result.setStrikeOut(font.strikeOut);
    return result;
}

}  // namespace quill
