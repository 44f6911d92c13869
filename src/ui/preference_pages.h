// What the preferences dialog shows: its nine pages, and on each page the
// rows with their caption, kind of control, items or range and the setting
// they edit. The dialog builds, fills and stores every row from these tables.
#pragma once

#include "settings/settings_fields.h"

#include <string_view>
#include <vector>

namespace quill {

enum class RowKind : uint8_t {
    List,           // drop-down; the setting's code is the item position
    Check,          // check box without text of its own
    Number,         // digits-only field and a unit list
    SliderSpin,     // slider and spin over one range
    Gamma,          // slider 1..999, spin showing position / 100
    Colour,         // swatch button and six-digit read-only text
    Text,           // text field, cleaned when stored
    Date,           // date and time
    Depth,          // "Auto" and the format's offered depths
    FontList,       // font names with a "..." font chooser
    ColourHistory,  // colours of a history setting with a "..." colour chooser
    Theme,          // the available themes
    Language,       // one item, "English"
    InputFormat,    // the input format list; selects a sub-page
    OutputFormat,   // the output format list; selects a sub-page
};

/// The rows the dialog's show and enable rules refer to: one handle per row,
/// so a rule cannot name a row that does not exist.
enum class RowId : uint8_t {
    None,
    Theme,
    UiSize,
    RawLoadAs,
    RawHeader,
    RawWidth,
    RawHeight,
    RawTone,
    Rotation,
    RotationType,
    RotationAngle,
    RotationBack,
    Resize,
    Width,
    Height,
    KeepAspect,
    ResizeType,
    ResizeAlgorithm,
    Brightness,
    Contrast,
    Gamma,
    Invert,
    Threshold,
    ThresholdLevel,
    Dither,
    DitherAlgorithm,
    Text,
    Font,
    FontSize,
    FontColor,
    FontStyle,
    BackColor,
    TextSize,
    TextScale,
    Image,
    ImageSize,
    ImageScale,
    Mask,
    Timestamp,
    CustomTimestamp,
    InputFormat,
    OutputFormat,
    FrameType,
    WatermarkType,
    Count,
};

inline constexpr SettingMember kNoSetting = static_cast<int32_t Settings::*>(nullptr);

struct RowSpec {
    RowId id = RowId::None;    // the handle of a row the rules refer to
    std::string_view label{};  // language key, group "Preferences"
    RowKind kind = RowKind::List;
    std::vector<std::string_view> items{};  // list items or unit items (language keys)
    SettingMember member = kNoSetting;
    /// Number: the unit's setting (else the unit list shows item 0);
    /// FontList and ColourHistory: the history setting.
    SettingMember second = kNoSetting;
    int min = 0;
    int max = 0;
    int offset = 0;             // slider position = value + offset
    std::vector<int> values{};  // values carried by list items (font style, effect, alignment)
    std::string_view format{};  // Depth: the output format key
    bool chooser = false;       // Text: followed by a "..." file chooser button
    /// Language keys (group "Preferences") of tooltips saying what an item
    /// means, one per item; the list's own tooltip follows its current item.
    std::vector<std::string_view> itemTips{};
    std::string_view tip{};  // the row's tooltip (language key)
};

struct SubPageSpec {
    std::string_view key{};  // format key, or the selector item's position ("1", "2")
    int scrollHeight = 0;    // inner height when the sub-page is a scroll area
    std::vector<RowSpec> rows{};
};

struct PageSpec {
    std::string_view key{};  // language key of the page name
    int scrollHeight = 0;    // inner height when the page is a scroll area
    std::vector<RowSpec> rows{};
    /// Pages with a type selector: its row is rows[0]; the sub-pages lie below
    /// it. The Output page's sub-pages come from the output format table.
    std::vector<SubPageSpec> subPages{};
};

/// The nine pages in order: General, Interface, Input, Output, Transform,
/// Adjustment, Frame, Watermark, Advanced.
const std::vector<PageSpec>& preferencePages();

/// The extra rows of an output format's sub-page after "Bits Per Pixel".
const std::vector<RowSpec>& outputFormatRows(std::string_view formatKey);

/// Number of pages; the remembered page is kept below it.
inline constexpr int kPreferencePageCount = 9;
inline constexpr int kOutputPage = 3;

}  // namespace quill
