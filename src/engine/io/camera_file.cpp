// LibRaw's own reading of a camera file's header: the same library FreeImage
// decodes with, so the answer matches what FreeImage's RAW loader did.

#include "engine/io/camera_file.h"

#include <libraw.h>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace quill {

namespace {

// LibRaw's flip code (bit 0 mirror left-right, bit 1 mirror top-bottom, bit 2
// transpose) as an EXIF orientation, the way LibRaw itself converts it.
int orientationFromFlip(int flip)
{
    static constexpr int exif[8] = {1, 2, 4, 3, 5, 8, 6, 7};
    return flip >= 0 && flip < 8 ? exif[flip] : 1;
}

// Without the default callbacks LibRaw reports nothing on the console.
// LibRaw keeps where its raw data lies to itself; a subclass may ask.
class QuietLibRaw : public LibRaw {
public:
    QuietLibRaw() : LibRaw(LIBRAW_OPIONS_NO_MEMERR_CALLBACK | LIBRAW_OPIONS_NO_DATAERR_CALLBACK) {}

    /// The TIFF directory LibRaw chose for the raw data, found by the offset it took from it.
    RawDataPlace rawDataPlace()
    {
        RawDataPlace place;
        place.offset = libraw_internal_data.unpacker_data.data_offset;
        const int directories = std::min<int>(int(libraw_internal_data.identify_data.tiff_nifds), LIBRAW_IFD_MAXCOUNT);
        for (int index = 0; index < directories; ++index) {
            const tiff_ifd_t& directory = tiff_ifd[index];
            if (place.offset <= 0 || directory.offset != place.offset)
                continue;
            place.width = directory.t_width;
            place.height = directory.t_height;
            place.tiled = directory.t_tile_width > 0;
            break;
        }
        return place;
    }

    /// True when the raw data's stated extent reaches past the end of the file.
    bool rawDataCutOff(const RawDataPlace& place)
    {
        const auto& unpacker = libraw_internal_data.unpacker_data;
        const INT64 length = fileLength();
        if (unpacker.data_offset > 0 && unpacker.data_offset >= length)
            return true;
        // A tiled directory's data size is the place of its table of sizes;
        // the tiles themselves are checked one by one.
        return !place.tiled && unpacker.data_size > 0 && unpacker.data_offset >= 0 &&
               unpacker.data_offset + unpacker.data_size > length;
    }

    /// True when the embedded preview, as the header places it, reaches past the end of the file.
    bool previewCutOff()
    {
        const INT64 offset = libraw_internal_data.internal_data.toffset;
        return imgdata.thumbnail.tlength > 0 && offset > 0 && offset + imgdata.thumbnail.tlength > fileLength();
    }

private:
    INT64 fileLength() { return libraw_internal_data.internal_data.input->size(); }
};

std::unique_ptr<QuietLibRaw> quietLibRaw()
{
    return std::make_unique<QuietLibRaw>();
}

// LibRaw reads the bytes FreeImage's loader reads, through a stream that, like
// FreeImage's, has no file name: nothing beside the file is read either. A
// file that could not be read fails as LibRaw's own open of it would.
int openWithLibRaw(LibRaw& raw, const MappedFile& input)
{
    if (!input.isOpen())
        return LIBRAW_IO_ERROR;
    // LibRaw only reads the buffer it is given.
    return raw.open_buffer(const_cast<unsigned char*>(input.data()), input.size());
}

struct PixelSize {
    int64_t width = 0, height = 0;
    int64_t area() const { return width * height; }
};

// The size a JPEG stream's frame header declares: what its decoder allocates,
// whatever the container around it says.
PixelSize jpegFrameSize(const unsigned char* data, size_t size)
{
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return {};
    size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF)
            return {};
        const unsigned char marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // segments without a length
            at += 2;
            continue;
        }
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame)
            return at + 9 <= size ? PixelSize{data[at + 7] << 8 | data[at + 8], data[at + 5] << 8 | data[at + 6]}
                                  : PixelSize{};
        if (marker == 0xDA || marker == 0xD9)  // the data starts (or ends) before any frame header
            return {};
        at += 2 + size_t(data[at + 2] << 8 | data[at + 3]);
    }
    return {};
}

// The decoded image's pixels, non-square pixels stretched into square ones
// as LibRaw does at the end.
int64_t stretchedArea(const libraw_image_sizes_t& sizes, CameraDecode decode)
{
    PixelSize image{sizes.width, sizes.height};
    if (decode == CameraDecode::halfSize)
        image = {(image.width + 1) / 2, (image.height + 1) / 2};
    double stretch = 1.0;
    if (sizes.pixel_aspect > 0.0)
        stretch = std::max(sizes.pixel_aspect, 1.0 / sizes.pixel_aspect);
    return static_cast<int64_t>(double(image.area()) * stretch);
}

int64_t rawArea(const libraw_image_sizes_t& sizes)
{
    return int64_t(sizes.raw_width) * sizes.raw_height;
}

// LibRaw's peak for a decode: the stored raw data, its four-channel working
// image, then its output image and FreeImage's copy of it side by side.
int64_t decodeBytes(const libraw_data_t& data, CameraDecode decode)
{
    const libraw_image_sizes_t& sizes = data.sizes;
    const int64_t rawBytes = rawArea(sizes) * (data.idata.filters ? 2 : 8);
    PixelSize image{sizes.width, sizes.height};
    if (decode == CameraDecode::halfSize)
        image = {(image.width + 1) / 2, (image.height + 1) / 2};
    const int64_t outputBytesPerPixel = decode == CameraDecode::display || decode == CameraDecode::preview ? 3 : 6;
    return rawBytes + image.area() * 8 + 2 * stretchedArea(sizes, decode) * outputBytesPerPixel;
}

// The camera's image is made from its raw data: it may be rotated or stretched
// out of it (Fuji's diagonal sensors, non-square pixels), never much more.
bool imageJustified(const libraw_image_sizes_t& sizes)
{
    return int64_t(sizes.width) * sizes.height <= 2 * std::max<int64_t>(rawArea(sizes), 1);
}

// A preview shows the camera's image, at most at twice its width and height:
// small raw sizes (Canon's sRAW) keep a preview of the sensor's full size.
bool previewJustified(int64_t previewArea, const libraw_image_sizes_t& sizes)
{
    return previewArea <= 4 * std::max(rawArea(sizes), stretchedArea(sizes, CameraDecode::display));
}

struct PreviewClaim {
    int64_t bytes = -1;  // -1: no usable preview, FreeImage decodes the whole picture instead
    int64_t area = 0;    // the larger of what the header and the JPEG's own frame claim
};

// The embedded preview FreeImage returns in the preview mode.
PreviewClaim previewClaim(LibRaw& raw)
{
    if (raw.unpack_thumb() != LIBRAW_SUCCESS)
        return {};
    const libraw_thumbnail_t& thumbnail = raw.imgdata.thumbnail;
    PixelSize declared{thumbnail.twidth, thumbnail.theight};
    switch (thumbnail.tformat) {
    case LIBRAW_THUMBNAIL_JPEG: {
        const PixelSize frame =
            jpegFrameSize(reinterpret_cast<const unsigned char*>(thumbnail.thumb), thumbnail.tlength);
        const PixelSize larger{std::max(frame.width, declared.width), std::max(frame.height, declared.height)};
        return {larger.area() * 3 + thumbnail.tlength, larger.area()};
    }
    case LIBRAW_THUMBNAIL_BITMAP:
    case LIBRAW_THUMBNAIL_BITMAP16:
        return {declared.area() * 3 * 2, declared.area()};  // LibRaw's image of it, then FreeImage's
    default: return {};
    }
}

}  // namespace

DecodeForecast forecastCameraDecode(const MappedFile& input, CameraDecode decode)
{
    DecodeForecast forecast;
    auto raw = quietLibRaw();
    const int opened = openWithLibRaw(*raw, input);
    if (opened != LIBRAW_SUCCESS) {
        if (opened != LIBRAW_FILE_UNSUPPORTED)
            forecast.claim = DecodeForecast::Claim::damaged;
        return forecast;
    }
    forecast.claim = DecodeForecast::Claim::readable;
    const libraw_image_sizes_t& sizes = raw->imgdata.sizes;
    forecast.rawData = raw->rawDataPlace();
    forecast.dataCutOff = raw->rawDataCutOff(forecast.rawData);
    forecast.sizeUnjustified = !imageJustified(sizes);
    if (decode == CameraDecode::preview) {
        // Only the preview's own data counts when FreeImage returns it.
        const bool previewWhole = !raw->previewCutOff();
        const PreviewClaim preview = previewWhole ? previewClaim(*raw) : PreviewClaim{};
        forecast.fromPreview = preview.bytes >= 0;
        if (forecast.fromPreview) {
            forecast.bytes = preview.bytes;
            forecast.dataCutOff = false;
            forecast.sizeUnjustified = !previewJustified(preview.area, sizes);
        } else {  // no usable preview: FreeImage decodes for display
            forecast.bytes = decodeBytes(raw->imgdata, CameraDecode::display);
            forecast.dataCutOff = forecast.dataCutOff || !previewWhole;
        }
    } else {
        forecast.bytes = decodeBytes(raw->imgdata, decode);
    }
    raw->recycle();
    return forecast;
}

CameraFileFacts inspectCameraFile(const MappedFile& input, bool withPreview)
{
    CameraFileFacts facts;
    auto raw = quietLibRaw();
    if (openWithLibRaw(*raw, input) != LIBRAW_SUCCESS)
        return facts;
    facts.readable = true;
    facts.orientation = orientationFromFlip(raw->imgdata.sizes.flip);
    if (withPreview && raw->unpack_thumb() == LIBRAW_SUCCESS) {
        switch (raw->imgdata.thumbnail.tformat) {
        case LIBRAW_THUMBNAIL_UNKNOWN: break;
        case LIBRAW_THUMBNAIL_JPEG: facts.preview = CameraFileFacts::Preview::jpeg; break;
        default: facts.preview = CameraFileFacts::Preview::bitmap; break;
        }
    }
    raw->recycle();
    return facts;
}

}  // namespace quill
