// Build-time tool: draws the desktop theme's icon sizes from the program's own
// 16 and 32 pixel icons. Each size is an exact multiple of one of them, enlarged
// pixel for pixel, so the small-palette artwork keeps its hard edges.
// Usage: kaptivus_icon_sizes OUTPUT_ROOT ICON16.png ICON32.png
#include <QDir>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s OUTPUT_ROOT ICON16.png ICON32.png\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    QImage sources[2];
    for (int i = 0; i < 2; ++i) {
        sources[i] = QImage(QString::fromLocal8Bit(argv[2 + i])).convertToFormat(QImage::Format_ARGB32);
        if (sources[i].isNull() || sources[i].width() != 16 << i || sources[i].height() != 16 << i) {
            std::fprintf(stderr, "%s: not a %d x %d picture\n", argv[2 + i], 16 << i, 16 << i);
            return 1;
        }
    }
    for (const int size : { 16, 32, 48, 64, 128, 256 }) {
        // The largest source that divides the size: 48 comes from 16, the rest from 32.
        const QImage& source = size % 32 == 0 ? sources[1] : sources[0];
        const QImage icon = source.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(folder) || !icon.save(folder + QStringLiteral("/kaptivus2000.png"), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
