// Theme packs: zip archives of PNG images with a "theme.cfg" that maps image
// names to files inside the archive. A pack replaces only the images it
// supplies; every other slot keeps its built-in image. A pack is untrusted
// input: oversized or hostile entries and images that do not decode are
// passed over.
#pragma once

#include "settings/settings.h"
#include "ui/images.h"

#include <QIcon>
#include <QPixmap>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

/// The largest entry a pack may hold, and the most entries it may have.
inline constexpr int64_t kMostPackEntryBytes = 4 << 20;
inline constexpr size_t kMostPackEntries = 1000;
/// Bytes of "theme.cfg" read for a pack's display name.
inline constexpr size_t kThemeNameBytes = 255;

/// <program folder>/gfx/ and then <program folder>/../share/quillmere/gfx/.
std::vector<std::string> defaultThemeFolders();

/// The packs of the folders (each "*.zip", sorted by name within its folder;
/// a name met again in a later folder is passed over), in the order added.
std::vector<ThemeEntry> scanThemes(const std::vector<std::string>& folders);

/// The first file `name`.zip of the folders, or empty.
std::string themePackPath(const std::vector<std::string>& folders, const std::string& name);

/// Value of `key` in `section` of a theme.cfg text, matched without regard to
/// letter case: the section runs to the next "[", the key starts a line, the
/// value follows the first "=" with blanks trimmed. Empty when absent.
std::string configValue(std::string_view text, std::string_view section, std::string_view key);

/// The archive file for an image: a value holding ".png" (any case) as
/// written, otherwise value + "_" + size text + ".png".
std::string packImageFile(std::string_view value, std::string_view sizeText);

/// theme.cfg bytes as UTF-8 text: kept when they are UTF-8, read as
/// ISO 8859-1 otherwise. With `cut` (a shortened read) an incomplete
/// sequence at the very end is dropped first.
std::string themeConfigText(std::string bytes, bool cut = false);

/// Entry name to uncompressed size of every usable entry of a zip: not empty,
/// at most kMostPackEntryBytes, no name starting with "/" or holding "..".
/// Nothing when the file is no readable zip or has over kMostPackEntries entries.
std::optional<std::map<std::string, int64_t>> packEntries(const std::string& path);

/// The bytes of the named entries. An entry longer than `limit` is cut to it
/// when `cut` is set and left out otherwise.
std::map<std::string, std::string> unpackEntries(const std::string& path, const std::set<std::string>& names,
                                                 size_t limit, bool cut);

/// The display name of a pack: Theme/Name of the first kThemeNameBytes bytes
/// of its theme.cfg; empty when the pack is missing, empty or unreadable.
std::string themeDisplayName(const std::string& path);

enum ThemeSet : unsigned {
    kButtonSet = 1,
    kMenuSet = 2,
    kToolbarSet = 4,
    kAllSets = 7
};

/// The images a theme has put into the slots of the three sets; a name
/// missing from a set shows its built-in image.
struct ThemeImages {
    std::vector<std::string> folders = defaultThemeFolders();
    std::map<std::string, QPixmap, std::less<>> buttons;  // shown at 64 pixels
    std::map<std::string, QPixmap, std::less<>> menu;     // 16 pixels
    std::map<std::string, QPixmap, std::less<>> toolbar;  // the `UI Size` pixels
    int toolbarPixels = 32;
};

/// Loads the requested sets from the pack `UI Theme` names. A name that
/// matches no pack falls back to the pack added last, and `UI Theme` stores
/// it. The requested sets start again from the built-in images, so a theme
/// change never leaves images of the theme before it.
void loadTheme(ThemeImages& images, Settings& settings, unsigned sets);

/// A command's icon: its menu image at 16 pixels and its toolbar image at
/// the toolbar size.
QIcon commandIcon(const ThemeImages& images, std::string_view name);
/// A large button's icon ("Convert", "InFiles", "InFolder").
QIcon buttonIcon(const ThemeImages& images, std::string_view name);
/// The menu image alone, for the small images of the combo boxes.
QIcon menuIcon(const ThemeImages& images, std::string_view name);

}  // namespace quill
