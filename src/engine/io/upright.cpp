// Turns and mirrors that bring pixels stored in a camera's orientation upright,
// and the EXIF orientation tag that travels with them.

#include "engine/io/upright.h"

namespace quill {

namespace {

// FreeImage_Rotate turns counter-clockwise for positive angles; multiples of
// 90 degrees are exact and keep every pixel.
Bitmap rotated(Bitmap image, double angle)
{
    if (!image)
        return image;
    Bitmap turned(FreeImage_Rotate(image.get(), angle, nullptr));
    if (turned) {
        FreeImage_CloneMetadata(turned.get(), image.get());
        FreeImage_SetDotsPerMeterX(turned.get(), FreeImage_GetDotsPerMeterX(image.get()));
        FreeImage_SetDotsPerMeterY(turned.get(), FreeImage_GetDotsPerMeterY(image.get()));
    }
    return turned;
}

Bitmap mirroredLeftRight(Bitmap image)
{
    if (image && !FreeImage_FlipHorizontal(image.get()))
        image.reset();
    return image;
}

Bitmap mirroredTopBottom(Bitmap image)
{
    if (image && !FreeImage_FlipVertical(image.get()))
        image.reset();
    return image;
}

}  // namespace

int exifOrientation(FIBITMAP* image)
{
    FITAG* tag = nullptr;
    if (!image || !FreeImage_GetMetadata(FIMD_EXIF_MAIN, image, "Orientation", &tag) || !tag)
        return 0;
    if (FreeImage_GetTagType(tag) != FIDT_SHORT || FreeImage_GetTagCount(tag) < 1)
        return 0;
    int value = *static_cast<const WORD*>(FreeImage_GetTagValue(tag));
    return value >= 1 && value <= 8 ? value : 0;
}

void markUpright(FIBITMAP* image)
{
    FITAG* tag = nullptr;
    if (!image || !FreeImage_GetMetadata(FIMD_EXIF_MAIN, image, "Orientation", &tag) || !tag)
        return;
    FITAG* upright = FreeImage_CloneTag(tag);
    if (!upright)
        return;
    WORD topLeft = 1;
    FreeImage_SetTagType(upright, FIDT_SHORT);
    FreeImage_SetTagCount(upright, 1);
    FreeImage_SetTagLength(upright, sizeof topLeft);
    FreeImage_SetTagValue(upright, &topLeft);
    FreeImage_SetMetadata(FIMD_EXIF_MAIN, image, "Orientation", upright);
    FreeImage_DeleteTag(upright);
}

Bitmap turnUpright(Bitmap image, int orientation)
{
    switch (orientation) {
    case 2: return mirroredLeftRight(std::move(image));
    case 3: return rotated(std::move(image), 180);
    case 4: return mirroredTopBottom(std::move(image));
    case 5: return mirroredLeftRight(rotated(std::move(image), 270));  // transposed
    case 6: return rotated(std::move(image), 270);                     // a quarter turn clockwise
    case 7: return mirroredLeftRight(rotated(std::move(image), 90));   // transversed
    case 8: return rotated(std::move(image), 90);                      // a quarter turn anticlockwise
    default: return image;
    }
}

int inverseOrientation(int orientation)
{
    if (orientation == 6)
        return 8;
    if (orientation == 8)
        return 6;
    return orientation;
}

}  // namespace quill
