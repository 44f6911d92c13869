// Builds one of the shipped theme packs: renders every image SVG of the
// hand-drawn set at 16, 24, 32, 48 and 64 pixels, for the high-contrast pack
// redrawn in bright ink on dark fills inside a black halo, and writes them
// with the pack's theme.cfg into a zip.
//
//   make_theme_pack handdrawn|highcontrast <svg folder> <theme.cfg> <out.zip>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QBuffer>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

#include <archive.h>
#include <archive_entry.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kSizes[] = {16, 24, 32, 48, 64};

// The high-contrast palette: ink becomes white, paper black, and each fill a
// deep tone that white ink stands out on; coloured ink becomes bright.
const std::map<QString, QString>& fillColours()
{
    static const std::map<QString, QString> colours{
        {"#33302b", "#ffffff"}, {"#fbf6e9", "#000000"}, {"#e9dfc7", "#1f1f1f"}, {"#eaf4fb", "#000000"},
        {"#8ecae6", "#005fa3"}, {"#9bd3ae", "#00803a"}, {"#f6d776", "#b07d00"}, {"#f2c84b", "#b07d00"},
        {"#f28e7c", "#c62828"}, {"#d9b38c", "#8d5a2b"}, {"#b9a7e0", "#5e35b1"}, {"#5a544b", "#d0d0d0"}};
    return colours;
}

const std::map<QString, QString>& strokeColours()
{
    static const std::map<QString, QString> colours{{"#33302b", "#ffffff"},
                                                    {"#2a6f97", "#6fd3ff"},
                                                    {"#2e8b57", "#6dffa8"},
                                                    {"#c0392b", "#ff6b5e"},
                                                    {"#9bd3ae", "#6dffa8"}};
    return colours;
}

QByteArray highContrastSvg(QString svg)
{
    for (const auto& [from, to] : fillColours())
        svg.replace("fill=\"" + from + "\"", "fill=\"" + to + "\"", Qt::CaseInsensitive);
    for (const auto& [from, to] : strokeColours())
        svg.replace("stroke=\"" + from + "\"", "stroke=\"" + to + "\"", Qt::CaseInsensitive);
    // Heavier ink: thin lines are what vanish first.
    static const QRegularExpression width("stroke-width=\"([0-9.]+)\"");
    QString out;
    qsizetype last = 0;
    for (auto match = width.globalMatch(svg); match.hasNext();) {
        const auto found = match.next();
        out += svg.mid(last, found.capturedStart() - last);
        out += QString("stroke-width=\"%1\"").arg(found.captured(1).toDouble() * 1.3);
        last = found.capturedEnd();
    }
    out += svg.mid(last);
    return out.toUtf8();
}

QImage render(const QByteArray& svg, int size)
{
    QSvgRenderer renderer(svg);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return image;
}

// A black outline around every drawn pixel, so the bright ink also reads on
// light toolbars.
QImage withHalo(const QImage& glyph, int radius)
{
    const int size = glyph.width();
    QImage out(size, size, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            int alpha = 0;
            for (int dy = -radius; dy <= radius; ++dy)
                for (int dx = -radius; dx <= radius; ++dx)
                    if (dx * dx + dy * dy <= radius * radius && glyph.valid(x + dx, y + dy))
                        alpha = std::max(alpha, qAlpha(glyph.pixel(x + dx, y + dy)));
            out.setPixel(x, y, qPremultiply(qRgba(0, 0, 0, alpha)));
        }
    QPainter painter(&out);
    painter.drawImage(0, 0, glyph);
    painter.end();
    return out;
}

QByteArray png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool addEntry(archive* zip, const std::string& name, const QByteArray& bytes)
{
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, name.c_str());
    archive_entry_set_size(entry, bytes.size());
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    // A fixed time keeps the packs byte-identical from build to build.
    archive_entry_set_mtime(entry, 1700000000, 0);
    bool ok = archive_write_header(zip, entry) == ARCHIVE_OK &&
              archive_write_data(zip, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    archive_entry_free(entry);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: make_theme_pack handdrawn|highcontrast <svg folder> <theme.cfg> <out.zip>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    const bool highContrast = QString(argv[1]) == "highcontrast";
    QFile config(argv[3]);
    if (!config.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "make_theme_pack: cannot read %s\n", argv[3]);
        return 1;
    }
    const QByteArray configBytes = config.readAll();

    const std::string target = argv[4];
    const std::string partial = target + ".part";
    archive* zip = archive_write_new();
    archive_write_set_format_zip(zip);
    archive_write_zip_set_compression_deflate(zip);
    bool ok =
        archive_write_open_filename(zip, partial.c_str()) == ARCHIVE_OK && addEntry(zip, "theme.cfg", configBytes);
    const QDir folder(argv[2]);
    for (const QString& file : folder.entryList({"*.svg"}, QDir::Files, QDir::Name)) {
        if (file == "banner.svg")
            continue;
        QFile source(folder.filePath(file));
        if (!source.open(QIODevice::ReadOnly)) {
            ok = false;
            break;
        }
        QByteArray svg = source.readAll();
        if (highContrast)
            svg = highContrastSvg(QString::fromUtf8(svg));
        const std::string base = QFileInfo(file).completeBaseName().toStdString();
        for (int size : kSizes) {
            QImage image = render(svg, size);
            if (highContrast)
                image = withHalo(image, std::max(1, size / 24));
            ok = ok && addEntry(zip, base + "_" + std::to_string(size) + ".png", png(image));
        }
    }
    ok = archive_write_close(zip) == ARCHIVE_OK && ok;
    archive_write_free(zip);
    if (!ok || std::rename(partial.c_str(), target.c_str()) != 0) {
        std::remove(partial.c_str());
        std::fprintf(stderr, "make_theme_pack: could not write %s\n", target.c_str());
        return 1;
    }
    return 0;
}
