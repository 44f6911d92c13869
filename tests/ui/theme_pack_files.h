// Theme packs made in the test: zip archives written with libarchive, and
// small solid PNG images whose colour tells which file a slot got.
#pragma once

#include <QBuffer>
#include <QImage>

#include <archive.h>
#include <archive_entry.h>

#include <string>
#include <utility>
#include <vector>

namespace quill::test {

using PackFiles = std::vector<std::pair<std::string, std::string>>;

inline bool writeZip(const std::string& path, const PackFiles& files)
{
    archive* zip = archive_write_new();
    archive_write_set_format_zip(zip);
    bool ok = archive_write_open_filename(zip, path.c_str()) == ARCHIVE_OK;
    for (const auto& [name, bytes] : files) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, name.c_str());
        archive_entry_set_size(entry, static_cast<la_int64_t>(bytes.size()));
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        ok = ok && archive_write_header(zip, entry) == ARCHIVE_OK &&
             archive_write_data(zip, bytes.data(), bytes.size()) == static_cast<la_ssize_t>(bytes.size());
        archive_entry_free(entry);
    }
    ok = archive_write_close(zip) == ARCHIVE_OK && ok;
    archive_write_free(zip);
    return ok;
}

inline std::string pngOf(QColor colour, int width = 8, int height = 8)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

/// A theme.cfg with "\r\n" line ends from lines.
inline std::string themeConfig(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

}  // namespace quill::test
