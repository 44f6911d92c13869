// The encodings and their profiles. A profile is made by Little CMS from its
// primaries, white point and tone curve, once per process and encoding, and
// saved as ICC version 2, which every colour-managed reader takes.
#include "engine/io/colour_profile.h"

#include "settings/setting_codes.h"

#include <lcms2.h>

#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace quill {
namespace {

struct ProfileClose {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileClose>;

struct CurveFree {
    void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
using Curve = std::unique_ptr<cmsToneCurve, CurveFree>;

struct TextFree {
    void operator()(cmsMLU* text) const { cmsMLUfree(text); }
};

constexpr cmsCIExyY kD65{0.3127, 0.3290, 1.0};
constexpr cmsCIExyYTRIPLE kSrgbPrimaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
constexpr cmsCIExyYTRIPLE kAdobeRgbPrimaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};

// Y = (aX + b)^g above d, cX below: Little CMS's curve type 4.
Curve toeCurve(double gamma, double a, double b, double c, double d)
{
    const double parameters[5] = {gamma, a, b, c, d};
    return Curve(cmsBuildParametricToneCurve(nullptr, 4, parameters));
}

Curve curveOf(ColourEncoding encoding)
{
    switch (encoding) {
    case ColourEncoding::display709:  // LibRaw's display decode: power 1/0.45, slope 4.5 below 0.018
        return toeCurve(1.0 / 0.45, 1.0 / 1.099, 0.099 / 1.099, 1.0 / 4.5, 0.081);
    case ColourEncoding::linear: return Curve(cmsBuildGamma(nullptr, 1.0));
    case ColourEncoding::adobeRgb: return Curve(cmsBuildGamma(nullptr, 563.0 / 256.0));
    default: return toeCurve(2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045);
    }
}

const char* descriptionOf(ColourEncoding encoding, bool grey)
{
    switch (encoding) {
    case ColourEncoding::display709: return grey ? "Grey, BT.709 curve" : "sRGB primaries, BT.709 curve";
    case ColourEncoding::linear: return grey ? "Grey, linear" : "sRGB primaries, linear (gamma 1.0)";
    case ColourEncoding::adobeRgb: return grey ? "Grey, gamma 2.2" : "Adobe RGB (1998) compatible";
    default: return grey ? "Grey, sRGB curve" : "sRGB";
    }
}

bool describe(cmsHPROFILE profile, cmsTagSignature tag, const char* text)
{
    std::unique_ptr<cmsMLU, TextFree> words(cmsMLUalloc(nullptr, 1));
    return words && cmsMLUsetASCII(words.get(), "en", "US", text) && cmsWriteTag(profile, tag, words.get());
}

std::vector<uint8_t> saved(cmsHPROFILE profile, const char* description)
{
    cmsSetProfileVersion(profile, 2.1);
    cmsSetDeviceClass(profile, cmsSigDisplayClass);
    if (!describe(profile, cmsSigProfileDescriptionTag, description) ||
        !describe(profile, cmsSigCopyrightTag, "No copyright, use freely"))
        return {};
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(profile, nullptr, &size) || size < 128)
        return {};
    std::vector<uint8_t> bytes(size);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size))
        return {};
    // The header's creation time would make every run's file differ; the
    // same profile always carries the same date (2024-01-01, big-endian).
    const uint8_t created[12] = {0x07, 0xe8, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0};
    std::copy(std::begin(created), std::end(created), bytes.begin() + 24);
    return bytes;
}

std::vector<uint8_t> buildProfile(ColourEncoding encoding, bool grey)
{
    Curve curve = curveOf(encoding);
    if (!curve)
        return {};
    const cmsCIExyYTRIPLE& primaries = encoding == ColourEncoding::adobeRgb ? kAdobeRgbPrimaries : kSrgbPrimaries;
    cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
    Profile profile(grey ? cmsCreateGrayProfile(&kD65, curve.get()) : cmsCreateRGBProfile(&kD65, &primaries, curves));
    return profile ? saved(profile.get(), descriptionOf(encoding, grey)) : std::vector<uint8_t>();
}

// A grey profile with the green curve of an RGB profile; sRGB's curve when
// it has none Little CMS can copy.
std::vector<uint8_t> greyFromEmbedded(const std::vector<uint8_t>& embedded)
{
    Profile rgb(cmsOpenProfileFromMem(embedded.data(), cmsUInt32Number(embedded.size())));
    const auto* green = rgb ? static_cast<const cmsToneCurve*>(cmsReadTag(rgb.get(), cmsSigGreenTRCTag)) : nullptr;
    if (!green)
        return buildProfile(ColourEncoding::sRgb, true);
    Profile grey(cmsCreateGrayProfile(&kD65, green));
    return grey ? saved(grey.get(), "Grey, curve of the source's profile") : std::vector<uint8_t>();
}

bool usableRgbProfile(const uint8_t* data, size_t size)
{
    if (!data || size < 128)
        return false;
    Profile profile(cmsOpenProfileFromMem(data, cmsUInt32Number(size)));
    return profile && cmsGetColorSpace(profile.get()) == cmsSigRgbData;
}

}  // namespace

ColourEncoding encodingOfLoad(FIBITMAP* loaded, bool ordinaryImage, bool fromPreview, bool declaresAdobeRgb,
                              std::vector<uint8_t>& embeddedProfile)
{
    embeddedProfile.clear();
    if (!loaded)
        return ColourEncoding::sRgb;
    if (ordinaryImage || fromPreview) {
        const FIICCPROFILE* own = FreeImage_GetICCProfile(loaded);
        if (own && usableRgbProfile(static_cast<const uint8_t*>(own->data), own->size)) {
            auto bytes = static_cast<const uint8_t*>(own->data);
            embeddedProfile.assign(bytes, bytes + own->size);
            return ColourEncoding::embedded;
        }
        return declaresAdobeRgb ? ColourEncoding::adobeRgb : ColourEncoding::sRgb;
    }
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(loaded);
    if (type == FIT_RGB16 || type == FIT_RGBA16)
        return ColourEncoding::linear;  // LibRaw's 16-bit decode: no curve at all
    // The pixel imports (8 and 16 bits a pixel) carry whatever the file held;
    // ordinary display data is the likeliest.
    if (type == FIT_BITMAP && FreeImage_GetBPP(loaded) == 24)
        return ColourEncoding::display709;
    return ColourEncoding::sRgb;
}

ColourEncoding encodingAfterToneMapping(ColourEncoding before, bool toneMapped, int32_t rawToneMapping)
{
    if (!toneMapped || before != ColourEncoding::linear)
        return before;
    switch (codeOf<ToneMapping>(rawToneMapping)) {
    case ToneMapping::AdaptiveLogarithmic:
    case ToneMapping::DynamicRangeReduction:
    case ToneMapping::GradientDomain: return ColourEncoding::sRgb;
    default: return before;  // "Linear" keeps the top 8 bits of each linear sample
    }
}

std::vector<uint8_t> iccProfileFor(ColourEncoding encoding, bool grey, const std::vector<uint8_t>& embeddedProfile)
{
    if (encoding == ColourEncoding::embedded) {
        if (embeddedProfile.empty())
            return buildProfile(ColourEncoding::sRgb, grey);
        return grey ? greyFromEmbedded(embeddedProfile) : embeddedProfile;
    }
    static std::mutex cacheMutex;
    static std::map<std::pair<ColourEncoding, bool>, std::vector<uint8_t>> cache;
    std::lock_guard<std::mutex> lock(cacheMutex);
    std::vector<uint8_t>& profile = cache[{encoding, grey}];
    if (profile.empty())
        profile = buildProfile(encoding, grey);
    return profile;
}

uint16_t exifColourSpaceFor(ColourEncoding encoding)
{
    return encoding == ColourEncoding::sRgb ? 1 : 0xFFFF;
}

}  // namespace quill
