#include "ui/images.h"

#include "text/ascii_case.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>

#include <cctype>
#include <map>
#include <string>

// Resources of a static library are registered by hand, outside any namespace.
static void registerBuiltInImages()
{
    Q_INIT_RESOURCE(handdrawn);
}

namespace quill {
namespace {

constexpr int kSizes[] = {16, 24, 32, 48, 64};

// Below this size an image with a drawing of its own for small sizes uses it.
constexpr int kSmallUpTo = 24;

QString resourceFor(std::string_view name, int size = 64)
{
    const std::string file = asciiLower(name);
    const QString small = QStringLiteral(":/images/handdrawn/%1-small.svg").arg(QString::fromStdString(file));
    if (size <= kSmallUpTo && QFile::exists(small))
        return small;
    return QStringLiteral(":/images/handdrawn/%1.svg").arg(QString::fromStdString(file));
}

// The drawings' ink is their root's colour; lines that stand on the window's
// background are drawn in it ("currentColor"). On a dark palette the ink
// turns light and the dark blue of the arrows a lighter blue, so nothing
// vanishes into the background; everything drawn on a filled shape keeps
// its colours.
QByteArray forPalette(QByteArray svg, bool dark)
{
    if (!dark)
        return svg;
    svg.replace("color=\"#33302b\"", "color=\"#ece6da\"");
    svg.replace("#2a6f97", "#4a9fd8");
    return svg;
}

QPixmap render(QSvgRenderer& renderer, QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return pixmap;
}

bool loadImage(QSvgRenderer& renderer, const QString& resource, bool dark = false)
{
    static const bool registered = (registerBuiltInImages(), true);
    (void)registered;
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return renderer.load(forPalette(file.readAll(), dark));
}

}  // namespace

const std::vector<std::string_view>& imageNames()
{
    static const std::vector<std::string_view> names{
        "Convert",         "InFiles",     "InFolder", "New",  "Add",     "OutFolder", "OutFormat", "FavFolder",
        "ImportFiles",     "ExportFiles", "Exit",     "Copy", "Delete",  "SelectAll", "Error",     "Preferences",
        "CustomConverter", "Help",        "Email",    "Web",  "Updates", "About",     "Preview"};
    return names;
}

int iconSizeFor(int uiSizeCode)
{
    return uiSizeCode >= 0 && uiSizeCode < 5 ? kSizes[uiSizeCode] : 16;
}

bool darkPalette()
{
    const QPalette palette = QGuiApplication::palette();
    return palette.color(QPalette::Window).lightness() < 128;
}

QPixmap builtInPixmap(std::string_view name, int size)
{
    QSvgRenderer renderer;
    return loadImage(renderer, resourceFor(name, size), darkPalette()) ? render(renderer, QSize(size, size))
                                                                       : QPixmap();
}

QIcon builtInIcon(std::string_view name)
{
    // Rendered once per name and palette: menus, toolbars and buttons share
    // the icon.
    static std::map<std::pair<std::string, bool>, QIcon> cache;
    const bool dark = darkPalette();
    const std::pair<std::string, bool> key{std::string(name), dark};
    if (auto found = cache.find(key); found != cache.end())
        return found->second;
    QIcon icon;
    for (int size : kSizes) {
        QSvgRenderer renderer;
        if (!loadImage(renderer, resourceFor(name, size), dark))
            return {};
        icon.addPixmap(render(renderer, QSize(size, size)));
    }
    cache.emplace(key, icon);
    return icon;
}

QPixmap aboutBanner()
{
    QSvgRenderer renderer;
    return loadImage(renderer, QStringLiteral(":/images/handdrawn/banner.svg")) ? render(renderer, QSize(360, 40))
                                                                                : QPixmap();
}

}  // namespace quill
