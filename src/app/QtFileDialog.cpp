#include "app/QtFileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

namespace ql {

QString qtNameFilters(const QString& commonDialogFilter)
{
    if (commonDialogFilter.isEmpty())
        return {};
    const QStringList fields = commonDialogFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < fields.size(); i += 2) {
        const QString& description = fields.at(i);
        if (i + 1 >= fields.size()) {
            filters.append(description);
            break;
        }
        const QString patterns =
            fields.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' ')).trimmed();
        // Qt reads the patterns from the last parentheses, so the description keeps
        // its own only when they say the same.
        if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            filters.append(description);
        else
            filters.append(description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

namespace {

const QString kAllFiles = QStringLiteral("All files (*)");

// Whatever the filter, any file can still be chosen.
QString withAllFiles(const QString& filters)
{
    if (filters.isEmpty())
        return kAllFiles;
    if (filters.split(QStringLiteral(";;")).contains(kAllFiles))
        return filters;
    return filters + QStringLiteral(";;") + kAllFiles;
}

} // namespace

void QtFileDialog::ShowOpen()
{
    m_fileName = QFileDialog::getOpenFileName(QApplication::activeWindow(), kOpenTitle, m_fileName,
                                              withAllFiles(qtNameFilters(m_filter)));
}

void QtFileDialog::ShowSave()
{
    m_fileName = QFileDialog::getSaveFileName(QApplication::activeWindow(), kSaveTitle, m_fileName,
                                              withAllFiles(qtNameFilters(m_filter)));
}

} // namespace ql
