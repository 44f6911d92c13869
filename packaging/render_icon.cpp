// Renders the application icon's SVG into the PNG sizes of the hicolor theme:
//   render_icon ICON.svg OUTPUT-FOLDER SIZE...
// writes OUTPUT-FOLDER/<SIZE>x<SIZE>/apps/quillmere.png for every size.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: render_icon ICON.svg OUTPUT-FOLDER SIZE...\n");
        return 2;
    }
    // No display at build time: the SVG only needs the offscreen platform.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString base = QString::fromLocal8Bit(argv[2]);
    for (int at = 3; at < argc; ++at) {
        const int size = QString::fromLocal8Bit(argv[at]).toInt();
        if (size <= 0) {
            std::fprintf(stderr, "render_icon: bad size %s\n", argv[at]);
            return 1;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        const QString folder = QString("%1/%2x%2/apps").arg(base).arg(size);
        if (!QDir().mkpath(folder) || !image.save(folder + "/quillmere.png", "PNG")) {
            std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
