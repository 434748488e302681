// Renders the program icon into the files of a desktop icon theme: a PNG for each
// size asked for and one scalable SVG, all from the drawing the window uses.
//   quorvalink-iconrender OUTPUT_DIR NAME SIZE...
// writes OUTPUT_DIR/<size>x<size>/apps/NAME.png and OUTPUT_DIR/scalable/apps/NAME.svg.

#include "app/Pictures.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgGenerator>

#include <cstdio>

namespace {

constexpr int kSvgSidePx = 48;

bool fail(const QString& text)
{
    std::fprintf(stderr, "quorvalink-iconrender: %s\n", qPrintable(text));
    return false;
}

bool makeFolder(const QString& path)
{
    return QDir().mkpath(path) || fail(QStringLiteral("cannot create %1").arg(path));
}

bool writePng(const QString& outputDir, const QString& name, int sidePx)
{
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(outputDir).arg(sidePx);
    if (!makeFolder(folder))
        return false;
    QImage image(sidePx, sidePx, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    ql::drawProgramIcon(painter, sidePx);
    painter.end();
    const QString path = QStringLiteral("%1/%2.png").arg(folder, name);
    return image.save(path, "PNG") || fail(QStringLiteral("cannot write %1").arg(path));
}

bool writeSvg(const QString& outputDir, const QString& name)
{
    const QString folder = outputDir + QStringLiteral("/scalable/apps");
    if (!makeFolder(folder))
        return false;
    const QString path = QStringLiteral("%1/%2.svg").arg(folder, name);
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(kSvgSidePx, kSvgSidePx));
    svg.setViewBox(QRect(0, 0, kSvgSidePx, kSvgSidePx));
    svg.setTitle(QStringLiteral("Quorvalink"));
    QPainter painter;
    if (!painter.begin(&svg))
        return fail(QStringLiteral("cannot write %1").arg(path));
    ql::drawProgramIcon(painter, kSvgSidePx);
    return painter.end() || fail(QStringLiteral("cannot write %1").arg(path));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "Usage: quorvalink-iconrender OUTPUT_DIR NAME SIZE...\n");
        return 2;
    }
    const QString outputDir = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int sidePx = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || sidePx < 1 || sidePx > 1024) {
            std::fprintf(stderr, "quorvalink-iconrender: '%s' is not a size from 1 to 1024\n", argv[i]);
            return 2;
        }
        if (!writePng(outputDir, name, sidePx))
            return 1;
    }
    return writeSvg(outputDir, name) ? 0 : 1;
}
