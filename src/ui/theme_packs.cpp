#include "ui/theme_packs.h"

#include "platform/paths.h"
#include "text/ascii_case.h"

#include <QBuffer>
#include <QImageReader>
#include <QStringDecoder>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace quill {
namespace {

// A pack image larger than this on a side is no icon; decoding it would only
// cost memory.
constexpr int kMostImageSide = 1024;
constexpr int kButtonPixels = 64;
constexpr int kMenuPixels = 16;

struct ArchiveFree {
    void operator()(archive* a) const { archive_read_free(a); }
};
using Archive = std::unique_ptr<archive, ArchiveFree>;

Archive openZip(const std::string& path)
{
    Archive zip(archive_read_new());
    if (!zip)
        return {};
    archive_read_support_format_zip(zip.get());
    archive_read_support_filter_none(zip.get());
    if (archive_read_open_filename(zip.get(), path.c_str(), 64 * 1024) != ARCHIVE_OK)
        return {};
    return zip;
}

bool usableName(const std::string& name)
{
    return !name.empty() && name.front() != '/' && name.find("..") == std::string::npos;
}

std::string trimmed(std::string_view text)
{
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

int64_t fileSize(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return info.st_size;
}

// The image decoded and brought to the slot's size; null when it does not
// decode or is too large to be an icon.
QPixmap decodeImage(const std::string& bytes, int pixels)
{
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMostImageSide || size.height() > kMostImageSide)
        return {};
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    return QPixmap::fromImage(image.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

struct SetRequest {
    unsigned set;
    const char* section;
    std::map<std::string, QPixmap, std::less<>>* target;
    std::string sizeText;
    int pixels;
};

QPixmap slotPixmap(const std::map<std::string, QPixmap, std::less<>>& target, std::string_view name, int pixels)
{
    if (auto found = target.find(name); found != target.end())
        return found->second;
    return builtInPixmap(name, pixels);
}

}  // namespace

std::vector<std::string> defaultThemeFolders()
{
    const std::string program = programFolder();
    return {program + "gfx/", program + "../share/quillmere/gfx/"};
}

std::vector<ThemeEntry> scanThemes(const std::vector<std::string>& folders)
{
    std::vector<ThemeEntry> themes;
    for (const std::string& folder : folders) {
        std::vector<std::string> names;
        if (DIR* dir = opendir(folder.c_str())) {
            while (const dirent* entry = readdir(dir)) {
                const std::string file = entry->d_name;
                if (file.size() > 4 && asciiLower(file.substr(file.size() - 4)) == ".zip" &&
                    isRegularFile(withTrailingSlash(folder) + file))
                    names.push_back(file.substr(0, file.size() - 4));
            }
            closedir(dir);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const bool known = std::any_of(themes.begin(), themes.end(), [&](const ThemeEntry& theme) {
                return theme.name == name;
            });
            if (!known)
                themes.push_back({name, themeDisplayName(withTrailingSlash(folder) + name + ".zip")});
        }
    }
    return themes;
}

std::string themePackPath(const std::vector<std::string>& folders, const std::string& name)
{
    if (name.empty())
        return {};
    for (const std::string& folder : folders) {
        const std::string path = withTrailingSlash(folder) + name + ".zip";
        if (isRegularFile(path))
            return path;
    }
    return {};
}

std::string configValue(std::string_view text, std::string_view section, std::string_view key)
{
    const std::string haystack = asciiLower(text);
    const size_t a = haystack.find("[" + asciiLower(section) + "]");
    if (a == std::string::npos)
        return {};
    size_t b = haystack.find('[', a + 1);
    if (b == std::string::npos)
        b = haystack.size();
    const size_t r = haystack.find("\r\n" + asciiLower(key), a);
    if (r == std::string::npos || r <= a || r >= b)
        return {};
    size_t end = haystack.find("\r\n", r + 2);
    if (end == std::string::npos)
        end = haystack.size();
    const std::string_view line = text.substr(r, end - r);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return {};
    // The second field of the line split at "=": up to a further "=", if any.
    std::string_view value = line.substr(equals + 1);
    value = value.substr(0, value.find('='));
    return trimmed(value);
}

std::string packImageFile(std::string_view value, std::string_view sizeText)
{
    if (asciiLower(value).find(".png") != std::string::npos)
        return std::string(value);
    return std::string(value) + "_" + std::string(sizeText) + ".png";
}

std::string themeConfigText(std::string bytes, bool cut)
{
    auto valid = [](const std::string& text) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
        return !decoder.hasError();
    };
    // A lead byte near the end whose sequence runs past it was cut by the
    // shortened read.
    for (size_t back = 1; cut && back <= 3 && back <= bytes.size(); ++back) {
        const auto c = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (length > back) {
            std::string shortened = bytes.substr(0, bytes.size() - back);
            if (valid(shortened))
                return shortened;
        }
        break;
    }
    if (valid(bytes))
        return bytes;
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString();
}

std::optional<std::map<std::string, int64_t>> packEntries(const std::string& path)
{
    Archive zip = openZip(path);
    if (!zip)
        return std::nullopt;
    std::map<std::string, int64_t> entries;
    size_t count = 0;
    archive_entry* entry = nullptr;
    int status = ARCHIVE_OK;
    while ((status = archive_read_next_header(zip.get(), &entry)) == ARCHIVE_OK) {
        if (++count > kMostPackEntries)
            return std::nullopt;
        const char* name = archive_entry_pathname(entry);
        const int64_t size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1;
        if (name != nullptr && usableName(name) && size > 0 && size <= kMostPackEntryBytes)
            entries[name] = size;
        archive_read_data_skip(zip.get());
    }
    if (status != ARCHIVE_EOF && count == 0)
        return std::nullopt;
    return entries;
}

std::map<std::string, std::string> unpackEntries(const std::string& path, const std::set<std::string>& names,
                                                 size_t limit, bool cut)
{
    std::map<std::string, std::string> found;
    Archive zip = openZip(path);
    if (!zip || names.empty())
        return found;
    archive_entry* entry = nullptr;
    size_t count = 0;
    while (archive_read_next_header(zip.get(), &entry) == ARCHIVE_OK && ++count <= kMostPackEntries) {
        const char* name = archive_entry_pathname(entry);
        if (name == nullptr || names.count(name) == 0 || found.count(name) != 0) {
            archive_read_data_skip(zip.get());
            continue;
        }
        // The sizes in the archive are claims: the bytes themselves are
        // counted against the limit.
        std::string bytes;
        char block[16384];
        bool whole = true;
        for (;;) {
            const la_ssize_t got = archive_read_data(zip.get(), block, sizeof block);
            if (got < 0) {
                whole = false;
                break;
            }
            if (got == 0)
                break;
            bytes.append(block, static_cast<size_t>(got));
            if (bytes.size() > limit) {
                if (cut)
                    bytes.resize(limit);
                else
                    whole = false;
                break;
            }
        }
        if (whole)
            found[name] = std::move(bytes);
        if (found.size() == names.size())
            break;
    }
    return found;
}

std::string themeDisplayName(const std::string& path)
{
    if (fileSize(path) <= 0)
        return {};
    const auto files = unpackEntries(path, {"theme.cfg"}, kThemeNameBytes, true);
    const auto config = files.find("theme.cfg");
    return config == files.end()
               ? std::string()
               : configValue(themeConfigText(config->second, config->second.size() == kThemeNameBytes), "Theme",
                             "Name");
}

void loadTheme(ThemeImages& images, Settings& settings, unsigned sets)
{
    images.toolbarPixels = iconSizeFor(settings.uiSize);
    std::vector<SetRequest> requests;
    if (sets & kButtonSet)
        requests.push_back({kButtonSet, "Buttons", &images.buttons, "16", kButtonPixels});
    if (sets & kMenuSet)
        requests.push_back({kMenuSet, "Icons", &images.menu, "16", kMenuPixels});
    if (sets & kToolbarSet)
        requests.push_back(
            {kToolbarSet, "Icons", &images.toolbar, std::to_string(images.toolbarPixels), images.toolbarPixels});
    for (const SetRequest& request : requests)
        request.target->clear();

    std::string path = themePackPath(images.folders, settings.uiTheme);
    if (path.empty()) {
        const std::vector<ThemeEntry> themes = scanThemes(images.folders);
        if (themes.empty())
            return;
        settings.uiTheme = themes.back().name;
        path = themePackPath(images.folders, settings.uiTheme);
    }
    if (fileSize(path) <= 0)
        return;
    const auto entries = packEntries(path);
    if (!entries)
        return;
    auto config = unpackEntries(path, {"theme.cfg"}, static_cast<size_t>(kMostPackEntryBytes), false);
    if (config.empty())
        return;
    const std::string text = themeConfigText(config.begin()->second);

    // Which archive file goes into which slot, then every needed file read in one pass.
    struct Wanted {
        SetRequest request;
        std::string name;
        std::string file;
    };
    std::vector<Wanted> wanted;
    std::set<std::string> files;
    for (const SetRequest& request : requests) {
        for (std::string_view name : imageNames()) {
            const std::string file = packImageFile(configValue(text, request.section, name), request.sizeText);
            if (entries->count(file) != 0) {
                wanted.push_back({request, std::string(name), file});
                files.insert(file);
            }
        }
    }
    const auto bytes = unpackEntries(path, files, static_cast<size_t>(kMostPackEntryBytes), false);
    for (const Wanted& item : wanted) {
        const auto found = bytes.find(item.file);
        if (found == bytes.end())
            continue;
        QPixmap pixmap = decodeImage(found->second, item.request.pixels);
        if (!pixmap.isNull())
            (*item.request.target)[item.name] = pixmap;
    }
}

QIcon commandIcon(const ThemeImages& images, std::string_view name)
{
    if (images.menu.count(name) == 0 && images.toolbar.count(name) == 0)
        return builtInIcon(name);
    QIcon icon;
    icon.addPixmap(slotPixmap(images.menu, name, kMenuPixels));
    // At 16 pixels both sets name the same file.
    if (images.toolbarPixels != kMenuPixels)
        icon.addPixmap(slotPixmap(images.toolbar, name, images.toolbarPixels));
    return icon;
}

QIcon buttonIcon(const ThemeImages& images, std::string_view name)
{
    if (auto found = images.buttons.find(name); found != images.buttons.end())
        return QIcon(found->second);
    return builtInIcon(name);
}

QIcon menuIcon(const ThemeImages& images, std::string_view name)
{
    if (auto found = images.menu.find(name); found != images.menu.end())
        return QIcon(found->second);
    return builtInIcon(name);
}

}  // namespace quill
