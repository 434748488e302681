#include "app/Fonts.h"

#include <QStringList>

namespace ql {

namespace {

const QString kSansFamily = QStringLiteral("MS Sans Serif");
const QString kMonoFamily = QStringLiteral("Courier New");

QFont pixelFont(const QString& family, int pixelSize, bool bold)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace

void installFontSubstitutions()
{
    if (!QFont::substitutes(kSansFamily).isEmpty())
        return;
    QFont::insertSubstitutions(kSansFamily, {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                             QStringLiteral("Arial"), QStringLiteral("DejaVu Sans"),
                                             QStringLiteral("Sans Serif")});
    QFont::insertSubstitutions(kMonoFamily, {QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
                                             QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
}

QFont sansSerifFont(bool bold)
{
    QFont font = pixelFont(kSansFamily, kSmallFontPx, bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont courierFont(int pixelSize, bool bold)
{
    QFont font = pixelFont(kMonoFamily, pixelSize, bold);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

} // namespace ql
