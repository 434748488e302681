#include "watch/FileNameTemplate.h"

#include <QRegularExpression>

namespace ql::watch {

namespace {

// Only what every file system takes, so that an adapter's own text names nothing else.
QString safeText(QString text)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._+-]"));
    text.replace(unsafe, QStringLiteral("_"));
    return text.startsWith(QLatin1Char('.')) ? QLatin1Char('_') + text.mid(1) : text;
}

} // namespace

QString templateProblem(const QString& nameTemplate)
{
    if (nameTemplate.trimmed().isEmpty())
        return QStringLiteral("the name template is empty");
    if (nameTemplate.contains(QLatin1Char('/')) || nameTemplate.contains(QLatin1Char('\\'))
        || nameTemplate.contains(QChar::Null))
        return QStringLiteral("the name template '%1' names a folder; give the folder with --into").arg(nameTemplate);
    static const QRegularExpression field(QStringLiteral("\\{([^}]*)\\}"));
    for (const QRegularExpressionMatch& match : field.globalMatch(nameTemplate)) {
        static const QStringList known {QStringLiteral("date"), QStringLiteral("time"), QStringLiteral("port"),
                                        QStringLiteral("serial"), QStringLiteral("n")};
        if (!known.contains(match.captured(1)))
            return QStringLiteral("the name template has an unknown field {%1}").arg(match.captured(1));
    }
    return {};
}

QString expandTemplate(const QString& nameTemplate, const NameFields& fields, int collision)
{
    QString name = nameTemplate;
    name.replace(QStringLiteral("{date}"), fields.began.toString(QStringLiteral("yyyyMMdd")));
    name.replace(QStringLiteral("{time}"), fields.began.toString(QStringLiteral("HHmmss")));
    name.replace(QStringLiteral("{port}"), safeText(fields.port));
    name.replace(QStringLiteral("{serial}"), safeText(fields.serial));
    name.replace(QStringLiteral("{n}"), QString::number(fields.reception));
    if (collision > 1) {
        // A leading dot starts a hidden name, not an extension.
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        name.insert(dot > 0 ? dot : name.size(), QStringLiteral("-%1").arg(collision));
    }
    return name;
}

} // namespace ql::watch
