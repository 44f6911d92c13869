#include "ui/images.h"

#include <QFile>
#include <QPainter>
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

QString resourceFor(std::string_view name)
{
    std::string file(name);
    for (char& c : file)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return QStringLiteral(":/images/handdrawn/%1.svg").arg(QString::fromStdString(file));
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

bool loadImage(QSvgRenderer& renderer, const QString& resource)
{
    static const bool registered = (registerBuiltInImages(), true);
    (void)registered;
    return renderer.load(resource);
}

}  // namespace

const std::vector<std::string_view>& imageNames()
{
    static const std::vector<std::string_view> names{
        "Convert", "InFiles", "InFolder", "New", "Add", "OutFolder", "OutFormat", "FavFolder",
        "ImportFiles", "ExportFiles", "Exit", "Copy", "Delete", "SelectAll", "Error",
        "Preferences", "CustomConverter", "Help", "Email", "Web", "Updates", "About", "Preview"};
    return names;
}

int iconSizeFor(int uiSizeCode)
{
    return uiSizeCode >= 0 && uiSizeCode < 5 ? kSizes[uiSizeCode] : 16;
}

QPixmap builtInPixmap(std::string_view name, int size)
{
    QSvgRenderer renderer;
    return loadImage(renderer, resourceFor(name)) ? render(renderer, QSize(size, size)) : QPixmap();
}

QIcon builtInIcon(std::string_view name)
{
    // Rendered once per name: menus, toolbars and buttons share the icon.
    static std::map<std::string, QIcon, std::less<>> cache;
    if (auto found = cache.find(name); found != cache.end())
        return found->second;
    QSvgRenderer renderer;
    if (!loadImage(renderer, resourceFor(name)))
        return {};
    QIcon icon;
    for (int size : kSizes)
        icon.addPixmap(render(renderer, QSize(size, size)));
    cache.emplace(std::string(name), icon);
    return icon;
}

QPixmap aboutBanner()
{
    QSvgRenderer renderer;
    return loadImage(renderer, QStringLiteral(":/images/handdrawn/banner.svg"))
               ? render(renderer, QSize(360, 40))
               : QPixmap();
}

}  // namespace quill
