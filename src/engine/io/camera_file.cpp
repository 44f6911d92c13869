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

    /// True when the raw data's stated extent reaches past the end of the file.
    bool rawDataCutOff()
    {
        const auto& unpacker = libraw_internal_data.unpacker_data;
        const INT64 length = libraw_internal_data.internal_data.input->size();
        return unpacker.data_size > 0 && unpacker.data_offset >= 0 &&
               unpacker.data_offset + unpacker.data_size > length;
    }
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

// LibRaw's peak for a decode: the stored raw data, its four-channel working
// image, then its output image and FreeImage's copy of it side by side.
int64_t decodeBytes(const libraw_data_t& data, CameraDecode decode)
{
    const libraw_image_sizes_t& sizes = data.sizes;
    const int64_t rawPixels = int64_t(sizes.raw_width) * sizes.raw_height;
    const int64_t rawBytes = rawPixels * (data.idata.filters ? 2 : 8);
    PixelSize image{sizes.width, sizes.height};
    if (decode == CameraDecode::halfSize)
        image = {(image.width + 1) / 2, (image.height + 1) / 2};
    double stretch = 1.0;  // non-square pixels are stretched into square ones at the end
    if (sizes.pixel_aspect > 0.0)
        stretch = std::max(sizes.pixel_aspect, 1.0 / sizes.pixel_aspect);
    const int64_t outputBytesPerPixel = decode == CameraDecode::display || decode == CameraDecode::preview ? 3 : 6;
    const auto output = static_cast<int64_t>(double(image.area()) * stretch) * outputBytesPerPixel;
    return rawBytes + image.area() * 8 + 2 * output;
}

// The embedded preview FreeImage returns in the preview mode, or -1 when it
// would find none and decode the whole picture instead.
int64_t previewBytes(LibRaw& raw)
{
    if (raw.unpack_thumb() != LIBRAW_SUCCESS)
        return -1;
    const libraw_thumbnail_t& thumbnail = raw.imgdata.thumbnail;
    PixelSize declared{thumbnail.twidth, thumbnail.theight};
    switch (thumbnail.tformat) {
    case LIBRAW_THUMBNAIL_JPEG: {
        const PixelSize frame =
            jpegFrameSize(reinterpret_cast<const unsigned char*>(thumbnail.thumb), thumbnail.tlength);
        const PixelSize larger{std::max(frame.width, declared.width), std::max(frame.height, declared.height)};
        return larger.area() * 3 + thumbnail.tlength;
    }
    case LIBRAW_THUMBNAIL_BITMAP:
    case LIBRAW_THUMBNAIL_BITMAP16:
        return declared.area() * 3 * 2;  // LibRaw's image of it, then FreeImage's
    default:
        return -1;
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
    forecast.dataCutOff = raw->rawDataCutOff();
    if (decode == CameraDecode::preview) {
        forecast.bytes = previewBytes(*raw);
        forecast.fromPreview = forecast.bytes >= 0;
        if (!forecast.fromPreview)  // no usable preview: FreeImage decodes for display
            forecast.bytes = decodeBytes(raw->imgdata, CameraDecode::display);
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
