#include "app/LabelCaption.h"

namespace ql {

QString shownCaption(const QString& caption)
{
    QString shown;
    shown.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar c = caption.at(i);
        const QChar next = i + 1 < caption.size() ? caption.at(i + 1) : QChar();
        if (c == u'\r' && next == u'\n')
            continue;
        if (c == u'&') {
            if (next == u'&') {
                shown += c;
                ++i;
            }
            continue;
        }
        shown += c;
    }
    return shown;
}

} // namespace ql
