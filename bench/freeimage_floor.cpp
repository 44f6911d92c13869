// freeimage_floor: the least any FreeImage-based converter must do for one RAW file, one
// load and one uncompressed TIFF save, as the floor the benchmark measures quillmere against.
//   freeimage_floor IN OUT.tif [--preview]
// Without --preview the RAW file is fully decoded to 48-bit RGB (RAW_DEFAULT); with it the
// embedded preview is loaded (RAW_PREVIEW), as the product's default "Auto" mode does.

#include <FreeImage.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

void silence(FREE_IMAGE_FORMAT, const char*) {}

struct Unload {
    void operator()(FIBITMAP* dib) const { FreeImage_Unload(dib); }
};

}  // namespace

int main(int argc, char** argv)
{
    const bool preview = argc == 4 && std::strcmp(argv[3], "--preview") == 0;
    if (argc != 3 && !preview) {
        std::fprintf(stderr, "usage: freeimage_floor IN OUT.tif [--preview]\n");
        return 1;
    }
    FreeImage_SetOutputMessage(silence);
    std::unique_ptr<FIBITMAP, Unload> image(FreeImage_Load(FIF_RAW, argv[1], preview ? RAW_PREVIEW : RAW_DEFAULT));
    if (!image) {
        std::fprintf(stderr, "freeimage_floor: cannot load %s\n", argv[1]);
        return 1;
    }
    if (!FreeImage_Save(FIF_TIFF, image.get(), argv[2], TIFF_NONE)) {
        std::fprintf(stderr, "freeimage_floor: cannot save %s\n", argv[2]);
        return 1;
    }
    return 0;
}
