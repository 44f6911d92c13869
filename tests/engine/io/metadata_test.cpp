// The source's resolution and metadata: read from FreeImage's tags and real
// camera files, written into TIFF files and read back with Exiv2.
#include "engine/conversion_setup.h"

#include "engine/io/metadata.h"
#include "engine/io/tiff_writer.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <fcntl.h>
#include <vector>

namespace quill {
namespace {

using test::TempFolder;

void setRational(FIBITMAP* image, const char* key, uint16_t id, uint32_t numerator, uint32_t denominator)
{
    FITAG* tag = FreeImage_CreateTag();
    uint32_t value[2] = {numerator, denominator};
    FreeImage_SetTagKey(tag, key);
    FreeImage_SetTagID(tag, id);
    FreeImage_SetTagType(tag, FIDT_RATIONAL);
    FreeImage_SetTagCount(tag, 1);
    FreeImage_SetTagLength(tag, 8);
    FreeImage_SetTagValue(tag, value);
    FreeImage_SetMetadata(FIMD_EXIF_MAIN, image, key, tag);
    FreeImage_DeleteTag(tag);
}

void setShort(FIBITMAP* image, FREE_IMAGE_MDMODEL model, const char* key, uint16_t id, uint16_t value)
{
    FITAG* tag = FreeImage_CreateTag();
    FreeImage_SetTagKey(tag, key);
    FreeImage_SetTagID(tag, id);
    FreeImage_SetTagType(tag, FIDT_SHORT);
    FreeImage_SetTagCount(tag, 1);
    FreeImage_SetTagLength(tag, 2);
    FreeImage_SetTagValue(tag, &value);
    FreeImage_SetMetadata(model, image, key, tag);
    FreeImage_DeleteTag(tag);
}

void setText(FIBITMAP* image, FREE_IMAGE_MDMODEL model, const char* key, uint16_t id, const std::string& text)
{
    FITAG* tag = FreeImage_CreateTag();
    FreeImage_SetTagKey(tag, key);
    FreeImage_SetTagID(tag, id);
    FreeImage_SetTagType(tag, FIDT_ASCII);
    FreeImage_SetTagCount(tag, DWORD(text.size() + 1));
    FreeImage_SetTagLength(tag, DWORD(text.size() + 1));
    FreeImage_SetTagValue(tag, text.c_str());
    FreeImage_SetMetadata(model, image, key, tag);
    FreeImage_DeleteTag(tag);
}

TEST(SourceResolution, TakesTheExifResolutionOverTheBitmapsOwn)
{
    struct Case {
        const char* what;
        uint32_t xNumerator, xDenominator, yNumerator, yDenominator;
        uint16_t unit;  // 0: no ResolutionUnit tag
        int32_t dotsPerMetreX, dotsPerMetreY;
        double dotsPerInchX, dotsPerInchY;
    };
    const Case cases[] = {
        {"no EXIF: the bitmap's own", 0, 0, 0, 0, 0, 3937, 3937, 100, 100},
        {"whole inches", 300, 1, 240, 1, 2, 11811, 9449, 300, 240},
        {"a rational with a large denominator", 720000, 10000, 720000, 10000, 2, 2835, 2835, 72, 72},
        {"per centimetre", 118, 1, 118, 1, 3, 11800, 11800, 299.72, 299.72},
        {"a zero denominator leaves the axis alone", 300, 0, 300, 1, 2, 3937, 11811, 100, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bitmap image(FreeImage_Allocate(4, 4, 24));
        FreeImage_SetDotsPerMeterX(image.get(), 3937);
        FreeImage_SetDotsPerMeterY(image.get(), 3937);
        if (c.xNumerator) {
            setText(image.get(), FIMD_EXIF_MAIN, "Make", 271, "Varnetta");
            setRational(image.get(), "XResolution", 282, c.xNumerator, c.xDenominator);
            setRational(image.get(), "YResolution", 283, c.yNumerator, c.yDenominator);
        }
        if (c.unit)
            setShort(image.get(), FIMD_EXIF_MAIN, "ResolutionUnit", 296, c.unit);
        Resolution resolution = sourceResolution(image.get());
        EXPECT_EQ(resolution.dotsPerMetreX, c.dotsPerMetreX);
        EXPECT_EQ(resolution.dotsPerMetreY, c.dotsPerMetreY);
        EXPECT_NEAR(resolution.dotsPerInchX, c.dotsPerInchX, 1e-9);
        EXPECT_NEAR(resolution.dotsPerInchY, c.dotsPerInchY, 1e-9);
    }
}

template <typename T>
MetadataTag tagOf(uint16_t id, uint16_t type, const std::vector<T>& values)
{
    MetadataTag tag{id, type, uint32_t(values.size()), {}};
    tag.value.resize(values.size() * sizeof(T));
    std::memcpy(tag.value.data(), values.data(), tag.value.size());
    if (type == 5 || type == 10)
        tag.count /= 2;  // rationals come as numerator, denominator pairs
    return tag;
}

MetadataTag textTag(uint16_t id, const std::string& text)
{
    MetadataTag tag{id, 2, uint32_t(text.size() + 1), {}};
    tag.value.assign(text.begin(), text.end());
    tag.value.push_back(0);
    return tag;
}

SourceMetadata sampleMetadata()
{
    SourceMetadata metadata;
    metadata.main = {textTag(271, "Varnetta"), textTag(272, "Synthetic 14"), textTag(315, "A. Photographer"),
                     textTag(33432, "(c) 2021 A. Photographer")};
    metadata.exif = {
        tagOf<uint32_t>(0x829a, 5, {1, 1600}),                       // ExposureTime
        tagOf<int32_t>(0x9204, 10, {-2, 3}),                         // ExposureBiasValue
        tagOf<uint16_t>(0x8827, 3, {400}),                           // ISOSpeedRatings
        tagOf<uint16_t>(0xa407, 3, {1}),                             // GainControl: a SHORT, whatever libtiff thinks
        textTag(0x9003, "2021:06:15 14:30:00"),                      // DateTimeOriginal
        textTag(0xa434, "Varnetta 35mm f/1.4"),                      // LensModel
        tagOf<uint32_t>(0xa432, 5, {35, 1, 35, 1, 14, 10, 14, 10}),  // LensSpecification
    };
    metadata.gps = {
        tagOf<uint8_t>(0, 1, {2, 3, 0, 0}),  // GPSVersionID
        textTag(1, "N"),
        tagOf<uint32_t>(2, 5, {52, 1, 31, 1, 123456, 10000}),
        textTag(3, "E"),
        tagOf<uint32_t>(4, 5, {13, 1, 24, 1, 1, 3}),
        tagOf<uint32_t>(6, 5, {3456, 100}),  // GPSAltitude
    };
    Exiv2::IptcData iptc;
    iptc["Iptc.Application2.Caption"] = "A quiet lake";
    Exiv2::DataBuf block = Exiv2::Photoshop::setIptcIrb(nullptr, 0, iptc);
    metadata.iptc.assign(reinterpret_cast<const char*>(block.pData_), size_t(block.size_));
    metadata.xmp = "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
                   "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                   "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                   "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" "
                   "xmp:Rating=\"4\"/></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";
    return metadata;
}

// A 40 by 30 TIFF with the sample metadata, as the writer makes every output.
std::string writeSample(const TempFolder& folder, const Resolution& resolution)
{
    std::string path = folder.file("sample.tif");
    Bitmap image(FreeImage_Allocate(40, 30, 24));
    const SourceMetadata metadata = sampleMetadata();
    TiffContents contents{&metadata, resolution, ColourEncoding::sRgb, {}};
    std::string error;
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    EXPECT_TRUE(writeTiff(std::move(fd), image.get(), TIFF_NONE, contents, error)) << error;
    return path;
}

TEST(TiffMetadata, EveryValueReadsBackExactly)
{
    silenceImageLibraries();
    TempFolder folder;
    std::string path = writeSample(folder, {11811, 11811, 300.0, 300.0});
    auto written = test::metadataOf(path);
    const std::pair<const char*, const char*> expected[] = {
        {"Exif.Image.Make", "Varnetta"},
        {"Exif.Image.Model", "Synthetic 14"},
        {"Exif.Image.Artist", "A. Photographer"},
        {"Exif.Image.Copyright", "(c) 2021 A. Photographer"},
        {"Exif.Image.Orientation", "1"},
        {"Exif.Image.XResolution", "300/1"},
        {"Exif.Image.ResolutionUnit", "2"},
        {"Exif.Photo.ExposureTime", "1/1600"},
        {"Exif.Photo.ExposureBiasValue", "-2/3"},
        {"Exif.Photo.ISOSpeedRatings", "400"},
        {"Exif.Photo.GainControl", "1"},
        {"Exif.Photo.DateTimeOriginal", "2021:06:15 14:30:00"},
        {"Exif.Photo.LensModel", "Varnetta 35mm f/1.4"},
        {"Exif.Photo.LensSpecification", "35/1 35/1 14/10 14/10"},
        {"Exif.Photo.ExifVersion", "48 50 51 48"},
        {"Exif.Photo.ColorSpace", "1"},
        {"Exif.GPSInfo.GPSVersionID", "2 3 0 0"},
        {"Exif.GPSInfo.GPSLatitudeRef", "N"},
        {"Exif.GPSInfo.GPSLatitude", "52/1 31/1 123456/10000"},
        {"Exif.GPSInfo.GPSLongitude", "13/1 24/1 1/3"},
        {"Exif.GPSInfo.GPSAltitude", "3456/100"},
        {"Iptc.Application2.Caption", "A quiet lake"},
        {"Xmp.xmp.Rating", "4"},
    };
    for (const auto& [key, value] : expected)
        EXPECT_EQ(written[key], value) << key;

    test::ImageFacts facts = test::imageFacts(path);
    EXPECT_EQ(facts.width, 40u);
    EXPECT_EQ(facts.height, 30u);
    EXPECT_EQ(facts.bitsPerPixel, 24u);
}

TEST(TiffMetadata, ColourSpaceIsTheOutputsNotTheCamerasOwn)
{
    SourceMetadata metadata = sampleMetadata();
    const uint16_t camera = 1;
    MetadataTag space{0xa001, 3, 1, std::vector<uint8_t>(2)};
    std::memcpy(space.value.data(), &camera, 2);
    metadata.exif.push_back(space);
    for (uint16_t wanted : {uint16_t(1), uint16_t(0xFFFF)}) {
        MetadataDirectories laidOut = layOutMetadataDirectories(metadata, wanted, 8, false);
        // The EXIF directory's entries: 12 bytes each after a 2-byte count.
        const uint8_t* entries = laidOut.bytes.data() + 2;
        int found = 0;
        for (uint16_t i = 0, count = uint16_t(laidOut.bytes[0] | laidOut.bytes[1] << 8); i < count; ++i) {
            const uint8_t* entry = entries + 12 * i;
            if ((entry[0] | entry[1] << 8) == 0xa001) {
                ++found;
                EXPECT_EQ(uint16_t(entry[8] | entry[9] << 8), wanted);
            }
        }
        EXPECT_EQ(found, 1);
    }
}

bool holds(const std::vector<MetadataTag>& tags, uint16_t id)
{
    for (const auto& tag : tags)
        if (tag.tag == id)
            return true;
    return false;
}

TEST(ReadSourceMetadata, KeepsThePictureAndDropsTheLayoutOfADng)
{
    QUILL_REQUIRE_FIXTURES();
    SourceMetadata metadata = readSourceMetadata(test::fixtureFolder() + "DSC8695.dng", nullptr);
    std::vector<uint16_t> mainTags;
    for (const auto& tag : metadata.main)
        mainTags.push_back(tag.tag);
    std::sort(mainTags.begin(), mainTags.end());
    EXPECT_EQ(mainTags, (std::vector<uint16_t>{271, 272, 305, 306}));  // Make, Model, Software, DateTime
    EXPECT_TRUE(holds(metadata.exif, 0x829a));                         // ExposureTime
    EXPECT_TRUE(holds(metadata.exif, 0xa434));                         // LensModel
    EXPECT_FALSE(holds(metadata.exif, 0xa302));                        // CFAPattern
    EXPECT_FALSE(holds(metadata.exif, 0x927c));                        // MakerNote
    EXPECT_FALSE(metadata.xmp.empty());
    EXPECT_EQ(metadata.xmp.find("crs:"), std::string::npos);
    EXPECT_NE(metadata.xmp.find("image/tiff"), std::string::npos);
}

TEST(ReadSourceMetadata, FallsBackToTheDecodersTagsForFilesExiv2CannotRead)
{
    TempFolder folder;
    test::writeFile(folder.file("camera.qtk"), "qktk not something Exiv2 knows");
    Bitmap holder(FreeImage_Allocate(10, 10, 8));
    setText(holder.get(), FIMD_EXIF_MAIN, "Make", 271, "Apple");
    setText(holder.get(), FIMD_EXIF_MAIN, "Software", 305, "dcraw v9.26");
    setText(holder.get(), FIMD_EXIF_MAIN, "Artist", 315, "");
    setShort(holder.get(), FIMD_EXIF_EXIF, "ISOSpeedRatings", 0x8827, 100);
    SourceMetadata metadata = readSourceMetadata(folder.file("camera.qtk"), holder.get());
    ASSERT_EQ(metadata.main.size(), 1u);  // the decoder's own name and empty texts stay out
    EXPECT_EQ(metadata.main[0].tag, 271);
    EXPECT_TRUE(holds(metadata.exif, 0x8827));

    SourceMetadata nothing = readSourceMetadata(folder.file("missing.crw"), nullptr);
    EXPECT_TRUE(nothing.main.empty() && nothing.exif.empty() && nothing.gps.empty());
    EXPECT_TRUE(nothing.iptc.empty() && nothing.xmp.empty());
}

// A camera set to Adobe RGB says so in the interoperability index or its
// maker note; the preview then gets an Adobe RGB profile.
TEST(ReadSourceMetadata, TellsAPreviewRenderedInAdobeRgb)
{
    silenceImageLibraries();
    TempFolder folder;
    const std::pair<const char*, const char*> cases[][2] = {
        {{"Exif.Iop.InteroperabilityIndex", "R03"}, {"Exif.Photo.ColorSpace", "65535"}},
        {{"Exif.Iop.InteroperabilityIndex", "R98"}, {"Exif.Photo.ColorSpace", "1"}},
        {{"Exif.Photo.ColorSpace", "2"}, {"Exif.Image.Make", "Varnetta"}},
    };
    const bool adobe[] = {true, false, true};
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::string path = folder.file("shot" + std::to_string(i) + ".jpg");
        Bitmap image(FreeImage_Allocate(16, 16, 24));
        ASSERT_TRUE(FreeImage_Save(FIF_JPEG, image.get(), path.c_str(), 0));
        auto file = Exiv2::ImageFactory::open(path);
        file->readMetadata();
        Exiv2::ExifData exif;
        for (const auto& [key, value] : cases[i])
            exif[key] = std::string(value);  // read as the tag's own type
        file->setExifData(exif);
        file->writeMetadata();
        EXPECT_EQ(readSourceMetadata(path, nullptr).declaresAdobeRgb, adobe[i]) << i;
    }
}

}  // namespace
}  // namespace quill
