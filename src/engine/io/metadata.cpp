// Carrying the source's resolution and descriptive metadata into the output.
// Exiv2 reads the source (it knows the camera containers). The EXIF and GPS
// directories are laid out here byte by byte and the TIFF writer places them
// in the file; libtiff sets the first directory's tags.
#include "engine/io/metadata.h"

#include "engine/io/freeimage_messages.h"

#include <exiv2/exiv2.hpp>
#include <tiffio.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>

namespace quill {
namespace {

// TIFF field types (the same codes in FreeImage's FREE_IMAGE_MDTYPE and Exiv2's TypeId).
enum FieldType : uint16_t {
    Byte = 1,
    Ascii = 2,
    Short = 3,
    Long = 4,
    Rational = 5,
    SByte = 6,
    Undefined = 7,
    SShort = 8,
    SLong = 9,
    SRational = 10,
    Float = 11,
    Double = 12,
};

size_t sizeOfType(int type)
{
    switch (type) {
    case Byte:
    case Ascii:
    case SByte:
    case Undefined: return 1;
    case Short:
    case SShort: return 2;
    case Long:
    case SLong:
    case Float: return 4;
    case Rational:
    case SRational:
    case Double: return 8;
    default: return 0;
    }
}

std::string textOf(const MetadataTag& tag)
{
    std::string text(tag.value.begin(), tag.value.end());
    text = text.substr(0, text.find('\0'));
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

// ---- what is carried over ------------------------------------------------

// First-directory tags that describe the picture rather than the file.
constexpr uint16_t mainTags[] = {
    270,    // ImageDescription
    271,    // Make
    272,    // Model
    305,    // Software
    306,    // DateTime
    315,    // Artist
    316,    // HostComputer
    33432,  // Copyright
};

// EXIF tags that describe the source's pixel layout or point into its bytes.
constexpr uint16_t layoutExifTags[] = {
    0x828e,  // CFAPattern (TIFF/EP)
    0x9101,  // ComponentsConfiguration
    0x9102,  // CompressedBitsPerPixel
    0x9214,  // SubjectArea: pixel coordinates of the source
    0x927c,  // MakerNote: its offsets point into the source file
    0xa002,  // PixelXDimension
    0xa003,  // PixelYDimension
    0xa005,  // InteroperabilityTag
    0xa214,  // SubjectLocation
    0xa302,  // CFAPattern
    0xa500,  // Gamma of the source's encoding
};

bool contains(const auto& list, uint16_t tag)
{
    return std::find(std::begin(list), std::end(list), tag) != std::end(list);
}

enum class Directory {
    Main,
    Exif,
    Gps,
    None
};

// True for the tags the EXIF standard keeps in the EXIF directory.
bool isExifDirectoryTag(uint16_t tag)
{
    static const std::set<uint16_t> tags = [] {
        std::set<uint16_t> numbers;
        for (const Exiv2::TagInfo* info = Exiv2::ExifTags::tagList("Photo"); info && info->tag_ != 0xffff; ++info)
            numbers.insert(info->tag_);
        return numbers;
    }();
    return tags.count(tag) != 0;
}

// Where a tag of the source belongs in the output, if anywhere. Some cameras
// (Kodak's KDC, TIFF/EP) keep exposure, aperture and dates in the first
// directory: each tag goes where the EXIF standard puts it.
Directory placeOf(std::string_view group, uint16_t tag, bool fromDecoder)
{
    if (group == "Image") {
        if (contains(mainTags, tag))  // the decoder's Software names itself, not the camera
            return fromDecoder && tag == 305 ? Directory::None : Directory::Main;
        return isExifDirectoryTag(tag) && !contains(layoutExifTags, tag) ? Directory::Exif : Directory::None;
    }
    if (group == "Photo")
        return contains(layoutExifTags, tag) ? Directory::None : Directory::Exif;
    if (group == "GPSInfo")
        return Directory::Gps;
    return Directory::None;
}

// Adds the tag unless the directory already has it or it holds nothing useful.
void addTag(SourceMetadata& metadata, Directory directory, MetadataTag tag)
{
    std::vector<MetadataTag>* list = directory == Directory::Main   ? &metadata.main
                                     : directory == Directory::Exif ? &metadata.exif
                                     : directory == Directory::Gps  ? &metadata.gps
                                                                    : nullptr;
    if (!list || tag.count == 0 || sizeOfType(tag.type) == 0 || tag.value.size() > 65536)
        return;
    if (tag.value.size() != size_t(tag.count) * sizeOfType(tag.type))
        return;
    if (tag.type == Ascii ? textOf(tag).empty() : directory == Directory::Main)
        return;  // the first directory takes texts only
    for (const auto& existing : *list)
        if (existing.tag == tag.tag)
            return;
    list->push_back(std::move(tag));
}

// ---- reading with Exiv2 ----------------------------------------------------

Exiv2::ByteOrder hostByteOrder()
{
    return std::endian::native == std::endian::little ? Exiv2::littleEndian : Exiv2::bigEndian;
}

bool dropXmpKey(const std::string& key)
{
    static const std::set<std::string> layoutKeys = {
        "Xmp.tiff.ImageWidth",
        "Xmp.tiff.ImageLength",
        "Xmp.tiff.BitsPerSample",
        "Xmp.tiff.Compression",
        "Xmp.tiff.PhotometricInterpretation",
        "Xmp.tiff.SamplesPerPixel",
        "Xmp.tiff.PlanarConfiguration",
        "Xmp.tiff.YCbCrSubSampling",
        "Xmp.tiff.YCbCrPositioning",
        "Xmp.tiff.XResolution",
        "Xmp.tiff.YResolution",
        "Xmp.tiff.ResolutionUnit",
        "Xmp.exif.PixelXDimension",
        "Xmp.exif.PixelYDimension",
        "Xmp.exif.ComponentsConfiguration",
        "Xmp.exif.CompressedBitsPerPixel",
        "Xmp.exif.SubjectArea",
        "Xmp.exif.SubjectLocation",
    };
    // Raw-development settings would be applied a second time to rendered pixels.
    for (std::string_view prefix : {"Xmp.crs.", "Xmp.crd.", "Xmp.crss.", "Xmp.exif.CFAPattern"})
        if (key.rfind(prefix, 0) == 0)
            return true;
    return layoutKeys.count(key) != 0;
}

std::string encodeXmp(Exiv2::XmpData xmp)
{
    for (auto it = xmp.begin(); it != xmp.end();)
        it = dropXmpKey(it->key()) ? xmp.erase(it) : std::next(it);
    if (xmp.findKey(Exiv2::XmpKey("Xmp.tiff.Orientation")) != xmp.end())
        xmp["Xmp.tiff.Orientation"] = "1";
    if (xmp.findKey(Exiv2::XmpKey("Xmp.dc.format")) != xmp.end())
        xmp["Xmp.dc.format"] = "image/tiff";
    std::string packet;
    if (xmp.empty() || Exiv2::XmpParser::encode(packet, xmp) != 0)
        return {};
    return packet;
}

// The first directory's resolution, in dots per inch; none without a unit.
void readResolution(const Exiv2::ExifData& exif, SourceMetadata& metadata)
{
    auto unit = exif.findKey(Exiv2::ExifKey("Exif.Image.ResolutionUnit"));
    const long unitValue = unit == exif.end() || unit->count() == 0 ? 2 : unit->toLong();
    if (unitValue != 2 && unitValue != 3)
        return;  // 1: no absolute unit, only the aspect ratio
    auto perInch = [&](const char* key) {
        auto found = exif.findKey(Exiv2::ExifKey(key));
        if (found == exif.end() || found->count() == 0)
            return 0.0;
        const Exiv2::Rational value = found->toRational();
        if (value.first <= 0 || value.second <= 0)
            return 0.0;
        const double perUnit = double(value.first) / value.second;
        return unitValue == 3 ? perUnit * 2.54 : perUnit;
    };
    const double x = perInch("Exif.Image.XResolution"), y = perInch("Exif.Image.YResolution");
    if (x > 0.0 && y > 0.0 && x < 1e6 && y < 1e6) {
        metadata.dotsPerInchX = x;
        metadata.dotsPerInchY = y;
    }
}

// Cameras set to Adobe RGB say so in the interoperability index ("R03") or
// their maker note; the EXIF ColorSpace itself only knows sRGB or "other".
bool declaresAdobeRgb(const Exiv2::ExifData& exif)
{
    auto valueOf = [&exif](const char* key) -> std::string {
        try {
            auto found = exif.findKey(Exiv2::ExifKey(key));
            return found == exif.end() || found->count() == 0 ? std::string() : found->toString();
        } catch (...) {
            return {};  // a key this Exiv2 does not know
        }
    };
    return valueOf("Exif.Iop.InteroperabilityIndex").rfind("R03", 0) == 0 || valueOf("Exif.Canon.ColorSpace") == "2" ||
           valueOf("Exif.Nikon3.ColorSpace") == "2" || valueOf("Exif.Photo.ColorSpace") == "2";
}

void readWithExiv2(const MappedFile& source, SourceMetadata& metadata)
{
    if (!source.isOpen())
        return;
    try {
        // Exiv2 reads the bytes in place; it copies nothing it only reads.
        auto image = Exiv2::ImageFactory::open(source.data(), static_cast<long>(source.size()));
        if (!image.get())
            return;
        image->readMetadata();
        // The EXIF directory's own tags first: they win over copies kept in the first one.
        for (bool fromFirstDirectory : {false, true}) {
            for (const auto& datum : image->exifData()) {
                if ((datum.groupName() == "Image") != fromFirstDirectory)
                    continue;
                Directory directory = placeOf(datum.groupName(), datum.tag(), false);
                if (directory == Directory::None || int(datum.typeId()) < Byte || int(datum.typeId()) > Double)
                    continue;
                MetadataTag tag;
                tag.tag = datum.tag();
                tag.type = static_cast<uint16_t>(datum.typeId());
                tag.count = static_cast<uint32_t>(datum.count());
                tag.value.resize(static_cast<size_t>(datum.size()));
                if (!tag.value.empty())
                    datum.copy(tag.value.data(), hostByteOrder());
                addTag(metadata, directory, std::move(tag));
            }
        }
        readResolution(image->exifData(), metadata);
        metadata.declaresAdobeRgb = declaresAdobeRgb(image->exifData());
        if (!image->iptcData().empty()) {
            Exiv2::DataBuf block = Exiv2::Photoshop::setIptcIrb(nullptr, 0, image->iptcData());
            if (block.pData_ && block.size_ > 0)
                metadata.iptc.assign(reinterpret_cast<const char*>(block.pData_), static_cast<size_t>(block.size_));
        }
        if (!image->xmpData().empty())
            metadata.xmp = encodeXmp(image->xmpData());
    } catch (...) {
        // A source Exiv2 cannot read simply contributes nothing.
    }
}

// ---- reading what FreeImage decoded ----------------------------------------

void readFromDecoder(FIBITMAP* decoded, SourceMetadata& metadata)
{
    if (!decoded)
        return;
    const std::pair<FREE_IMAGE_MDMODEL, std::string_view> models[] = {
        {FIMD_EXIF_MAIN, "Image"}, {FIMD_EXIF_EXIF, "Photo"}, {FIMD_EXIF_GPS, "GPSInfo"}};
    for (auto [model, group] : models) {
        FITAG* found = nullptr;
        FIMETADATA* search = FreeImage_FindFirstMetadata(model, decoded, &found);
        if (!search)
            continue;
        do {
            Directory directory = placeOf(group, FreeImage_GetTagID(found), true);
            const void* value = FreeImage_GetTagValue(found);
            if (directory == Directory::None || !value)
                continue;
            MetadataTag tag;
            tag.tag = FreeImage_GetTagID(found);
            tag.type = static_cast<uint16_t>(FreeImage_GetTagType(found));
            tag.count = FreeImage_GetTagCount(found);
            auto bytes = static_cast<const uint8_t*>(value);
            tag.value.assign(bytes, bytes + FreeImage_GetTagLength(found));
            addTag(metadata, directory, std::move(tag));
        } while (FreeImage_FindNextMetadata(search, &found));
        FreeImage_FindCloseMetadata(search);
    }
}

// ---- writing ---------------------------------------------------------------

// The value bytes of a tag in the file's byte order.
std::vector<uint8_t> inFileOrder(const MetadataTag& tag, bool fileIsBigEndian)
{
    std::vector<uint8_t> bytes = tag.value;
    if (fileIsBigEndian == (std::endian::native == std::endian::big))
        return bytes;
    size_t unit = sizeOfType(tag.type) == 8 && tag.type != Double ? 4 : sizeOfType(tag.type);
    for (size_t at = 0; unit > 1 && at + unit <= bytes.size(); at += unit)
        std::reverse(bytes.begin() + long(at), bytes.begin() + long(at + unit));
    return bytes;
}

class DirectoryWriter {
public:
    explicit DirectoryWriter(bool bigEndian) : bigEndian_(bigEndian) {}

    // Lays out one directory starting at `offset` (even): entries sorted by
    // tag, values longer than four bytes after it, each on an even offset.
    std::vector<uint8_t> layOut(std::vector<MetadataTag> tags, uint64_t offset) const
    {
        std::sort(tags.begin(), tags.end(), [](const MetadataTag& a, const MetadataTag& b) {
            return a.tag < b.tag;
        });
        std::vector<uint8_t> directory, values;
        put16(directory, uint16_t(tags.size()));
        uint64_t valuesStart = offset + 2 + 12 * tags.size() + 4;
        for (const auto& tag : tags) {
            std::vector<uint8_t> bytes = inFileOrder(tag, bigEndian_);
            put16(directory, tag.tag);
            put16(directory, tag.type);
            put32(directory, tag.count);
            if (bytes.size() <= 4) {
                bytes.resize(4, 0);
                directory.insert(directory.end(), bytes.begin(), bytes.end());
            } else {
                put32(directory, uint32_t(valuesStart + values.size()));
                values.insert(values.end(), bytes.begin(), bytes.end());
                if (values.size() % 2)
                    values.push_back(0);
            }
        }
        put32(directory, 0);  // no next directory
        directory.insert(directory.end(), values.begin(), values.end());
        return directory;
    }

private:
    void put16(std::vector<uint8_t>& out, uint16_t value) const
    {
        uint8_t high = uint8_t(value >> 8), low = uint8_t(value);
        out.push_back(bigEndian_ ? high : low);
        out.push_back(bigEndian_ ? low : high);
    }
    void put32(std::vector<uint8_t>& out, uint32_t value) const
    {
        put16(out, uint16_t(bigEndian_ ? value >> 16 : value));
        put16(out, uint16_t(bigEndian_ ? value : value >> 16));
    }

    bool bigEndian_;
};

// The tags the EXIF standard requires in every EXIF directory, added where
// the source lacks them: readers and validators expect them.
// The ColorSpace is the output's, not the camera's: a linear decode of an
// sRGB shot is no longer sRGB.
std::vector<MetadataTag> withRequiredExifTags(std::vector<MetadataTag> exif, uint16_t colourSpace)
{
    if (exif.empty())
        return exif;
    auto has = [&exif](uint16_t number) {
        return std::any_of(exif.begin(), exif.end(), [number](const MetadataTag& tag) {
            return tag.tag == number;
        });
    };
    if (!has(0x9000))  // ExifVersion
        exif.push_back({0x9000, Undefined, 4, {'0', '2', '3', '0'}});
    if (!has(0xa000))  // FlashpixVersion
        exif.push_back({0xa000, Undefined, 4, {'0', '1', '0', '0'}});
    exif.erase(std::remove_if(exif.begin(), exif.end(),
                              [](const MetadataTag& tag) {
                                  return tag.tag == 0xa001;
                              }),
               exif.end());
    MetadataTag space{0xa001, Short, 1, std::vector<uint8_t>(2)};
    std::memcpy(space.value.data(), &colourSpace, 2);
    exif.push_back(std::move(space));
    return exif;
}

// The GPS directory's required tags, where the source lacks them: the
// version, and how the position was found (a camera's receiver).
std::vector<MetadataTag> withRequiredGpsTags(std::vector<MetadataTag> gps)
{
    if (gps.empty())
        return gps;
    auto has = [&gps](uint16_t number) {
        return std::any_of(gps.begin(), gps.end(), [number](const MetadataTag& tag) {
            return tag.tag == number;
        });
    };
    if (!has(0x0000))  // GPSVersionID
        gps.push_back({0x0000, Byte, 4, {2, 3, 0, 0}});
    if (!has(0x001b)) {  // GPSProcessingMethod: a character code, then the text
        const std::string method("ASCII\0\0\0GPS", 11);
        gps.push_back({0x001b, Undefined, uint32_t(method.size()), {method.begin(), method.end()}});
    }
    return gps;
}

void setBytes(TIFF* tiff, uint32_t tagNumber, const std::string& bytes)
{
    if (!bytes.empty())
        TIFFSetField(tiff, tagNumber, uint32_t(bytes.size()), bytes.data());
}

void ignoreTiffMessage(const char*, const char*, va_list) {}

std::mutex xmpToolkitMutex;
void lockXmpToolkit(void*, bool lock)
{
    if (lock)
        xmpToolkitMutex.lock();
    else
        xmpToolkitMutex.unlock();
}

}  // namespace

void silenceImageLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        silenceFreeImage();
        TIFFSetErrorHandler(ignoreTiffMessage);
        TIFFSetWarningHandler(ignoreTiffMessage);
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::LogMsg::setHandler(nullptr);
        Exiv2::XmpParser::initialize(lockXmpToolkit, nullptr);
    });
}

Resolution sourceResolution(FIBITMAP* image)
{
    Resolution resolution;
    if (!image)
        return resolution;
    resolution.dotsPerMetreX = static_cast<int32_t>(FreeImage_GetDotsPerMeterX(image));
    resolution.dotsPerMetreY = static_cast<int32_t>(FreeImage_GetDotsPerMeterY(image));
    resolution.dotsPerInchX = std::floor(resolution.dotsPerMetreX * 0.0254 + 0.5);
    resolution.dotsPerInchY = std::floor(resolution.dotsPerMetreY * 0.0254 + 0.5);
    if (FreeImage_GetMetadataCount(FIMD_EXIF_MAIN, image) == 0)
        return resolution;

    double inchesPerUnit = 1.0;
    FITAG* unit = nullptr;
    if (FreeImage_GetMetadata(FIMD_EXIF_MAIN, image, "ResolutionUnit", &unit) && unit &&
        FreeImage_GetTagType(unit) == FIDT_SHORT && FreeImage_GetTagCount(unit) >= 1 &&
        *static_cast<const uint16_t*>(FreeImage_GetTagValue(unit)) == 3)
        inchesPerUnit = 1.0 / 2.54;  // the values are per centimetre

    auto readAxis = [&](const char* key, int32_t& dotsPerMetre, double& dotsPerInch) {
        FITAG* tag = nullptr;
        if (!FreeImage_GetMetadata(FIMD_EXIF_MAIN, image, key, &tag) || !tag || !FreeImage_GetTagValue(tag) ||
            FreeImage_GetTagType(tag) != FIDT_RATIONAL || FreeImage_GetTagCount(tag) < 1)
            return;
        auto fraction = static_cast<const uint32_t*>(FreeImage_GetTagValue(tag));
        // The whole rational: 720000/10000 is 72 dots, not 720000.
        if (fraction[0] == 0 || fraction[1] == 0)
            return;
        double perInch = double(fraction[0]) / fraction[1] / inchesPerUnit;
        double perMetre = std::floor(perInch / 0.0254 + 0.5);
        if (perMetre > std::numeric_limits<int32_t>::max())
            return;
        dotsPerMetre = static_cast<int32_t>(perMetre);
        dotsPerInch = perInch;
    };
    readAxis("XResolution", resolution.dotsPerMetreX, resolution.dotsPerInchX);
    readAxis("YResolution", resolution.dotsPerMetreY, resolution.dotsPerInchY);
    return resolution;
}

Resolution outputResolution(FIBITMAP* image, const SourceMetadata& metadata, bool ordinaryImage)
{
    if (metadata.dotsPerInchX > 0.0 && metadata.dotsPerInchY > 0.0) {
        Resolution stated;
        stated.dotsPerInchX = metadata.dotsPerInchX;
        stated.dotsPerInchY = metadata.dotsPerInchY;
        stated.dotsPerMetreX = static_cast<int32_t>(std::floor(stated.dotsPerInchX / 0.0254 + 0.5));
        stated.dotsPerMetreY = static_cast<int32_t>(std::floor(stated.dotsPerInchY / 0.0254 + 0.5));
        return stated;
    }
    if (ordinaryImage)
        return sourceResolution(image);
    // FreeImage's own default; a decode or a preview must not make it differ.
    return {2835, 2835, 72.0, 72.0};
}

SourceMetadata readSourceMetadata(const MappedFile& source, FIBITMAP* decoded)
{
    silenceImageLibraries();
    SourceMetadata metadata;
    readWithExiv2(source, metadata);
    readFromDecoder(decoded, metadata);
    return metadata;
}

SourceMetadata readSourceMetadata(const std::string& sourcePath, FIBITMAP* decoded)
{
    const MappedFile source(sourcePath);
    return readSourceMetadata(source, decoded);
}

MetadataDirectories layOutMetadataDirectories(const SourceMetadata& metadata, uint16_t colourSpace, uint32_t offset,
                                              bool bigEndian)
{
    MetadataDirectories laidOut;
    DirectoryWriter writer(bigEndian);
    auto add = [&](const std::vector<MetadataTag>& tags, uint32_t& at) {
        if (tags.empty())
            return;
        if ((offset + laidOut.bytes.size()) % 2)
            laidOut.bytes.push_back(0);
        at = uint32_t(offset + laidOut.bytes.size());
        std::vector<uint8_t> directory = writer.layOut(tags, at);
        laidOut.bytes.insert(laidOut.bytes.end(), directory.begin(), directory.end());
    };
    add(withRequiredExifTags(metadata.exif, colourSpace), laidOut.exifOffset);
    add(withRequiredGpsTags(metadata.gps), laidOut.gpsOffset);
    return laidOut;
}

void setTiffMetadata(TIFF* tiff, const SourceMetadata& metadata, const Resolution& resolution,
                     const MetadataDirectories& directories)
{
    for (const auto& tag : metadata.main)
        TIFFSetField(tiff, tag.tag, textOf(tag).c_str());
    if (resolution.dotsPerInchX > 0 && resolution.dotsPerInchY > 0) {
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, int(RESUNIT_INCH));
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, resolution.dotsPerInchX);
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, resolution.dotsPerInchY);
    }
    if (directories.exifOffset)
        TIFFSetField(tiff, TIFFTAG_EXIFIFD, uint64_t(directories.exifOffset));
    if (directories.gpsOffset)
        TIFFSetField(tiff, TIFFTAG_GPSIFD, uint64_t(directories.gpsOffset));
    // IPTC goes in a Photoshop resource block, as Photoshop writes it: FreeImage
    // reads a RichTIFFIPTC tag as four times its length (a heap over-read).
    setBytes(tiff, TIFFTAG_PHOTOSHOP, metadata.iptc);
    setBytes(tiff, TIFFTAG_XMLPACKET, metadata.xmp);
}

}  // namespace quill
