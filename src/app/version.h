// Product identity, fixed at build time: the version number (from the build's
// project version), the names and the maker's notice shown by both front ends.
#pragma once

#include <string>
#include <string_view>

namespace quill {

/// Three decimal digits: 100 is version 1.0, 125 would be 1.2.5.
inline constexpr int kVersionNumber = QUILL_VERSION_NUMBER;

inline constexpr std::string_view kDisplayName = "Varnetta Quillmere";
inline constexpr std::string_view kFileBaseName = "quillmere";
inline constexpr std::string_view kMakerNotice = "Copyright © 2024 Varnetta. All rights reserved.";
inline constexpr std::string_view kMakerSiteRoot = "https://www.varnetta.com";
inline constexpr std::string_view kMakerWebAddress = "https://www.varnetta.com/quillmere/";
inline constexpr std::string_view kUninstallPage = "https://www.varnetta.com/quillmere/uninstall/";
inline constexpr std::string_view kSupportAddress = "support@varnetta.com";

/// The three digits with a point after the first and the second; a final ".0"
/// is dropped (150 gives "1.5", 125 gives "1.2.5").
inline std::string versionString(int version = kVersionNumber)
{
    std::string digits = std::to_string(version);
    if (digits.size() != 3)
        return digits;
    std::string text = digits.substr(0, 1) + "." + digits.substr(1, 1) + "." + digits.substr(2, 1);
    if (text.back() == '0')
        text.resize(3);
    return text;
}

/// Display name, a blank and the version string: "Varnetta Quillmere 1.0".
inline std::string titleString(int version = kVersionNumber)
{
    return std::string(kDisplayName) + " " + versionString(version);
}

}  // namespace quill
