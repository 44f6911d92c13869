// The codes that the settings record stores as numbers, by name. The record
// keeps plain integers because the configuration file, profiles and the
// preferences lists all deal in positions; code that decides on a code names it.
#pragma once

#include <concepts>
#include <cstdint>
#include <type_traits>

namespace quill {

enum class RawLoadAs : int32_t {
    Auto,
    Rgb8,
    Rgb16,
    Rgb24,
    Rgb48HalfSize,
    Rgb48
};
enum class ToneMapping : int32_t {
    None,
    Linear,
    AdaptiveLogarithmic,
    DynamicRangeReduction,
    GradientDomain
};
enum class RotationType : uint8_t {
    Simple,
    Advanced
};
enum class ResizeType : uint8_t {
    AllImages,
    LargeImages
};
enum class ResizeAlgorithm : uint8_t {
    Box,
    Bilinear,
    Bspline,
    Bicubic,
    CatmullRom,
    Lanczos
};
enum class DitherAlgorithm : uint8_t {
    FloydSteinberg,
    Bayer4,
    Bayer8,
    Bayer16,
    Cluster6,
    Cluster8,
    Cluster16
};
enum class FrameType : uint8_t {
    None,
    Solid
};
enum class WatermarkType : uint8_t {
    None,
    Text,
    Image
};
enum class FontStyle : uint8_t {
    Regular,
    Bold,
    Italic,
    BoldItalic
};
enum class FontEffect : uint8_t {
    None,
    Underline,
    Strikeout
};
enum class TextAlignment : uint8_t {
    Left,
    Center,
    Right
};
enum class Boundary : uint8_t {
    Image,
    Frame
};
enum class FileTimestamp : uint8_t {
    Current,
    Original,
    Custom
};
enum class ExistingFiles : uint8_t {
    Replace,
    Skip,
    Update
};
enum class OutFoldersHistory : uint8_t {
    CleanOnExit,
    KeepFolders
};
enum class TiffColorMode : int32_t {
    Rgb,
    Cmyk
};
enum class RleCompression : int32_t {
    None,
    Rle
};

/// True when a stored setting holds that code: `is(settings.doWatermark, WatermarkType::Text)`.
template <typename Code>
requires std::is_enum_v<Code>
constexpr bool is(std::integral auto stored, Code code)
{
    return static_cast<int64_t>(stored) == static_cast<int64_t>(code);
}

/// The code a stored setting holds, for a switch; values outside the list stay as they are.
template <typename Code>
requires std::is_enum_v<Code>
constexpr Code codeOf(std::integral auto stored)
{
    return static_cast<Code>(stored);
}

}  // namespace quill
