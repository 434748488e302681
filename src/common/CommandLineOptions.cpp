#include "common/CommandLineOptions.h"

#include <QCommandLineOption>
#include <QRegularExpression>

#include <algorithm>

namespace ql {

namespace {

QString dashed(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

QString parseArguments(QCommandLineParser& parser, std::initializer_list<const char*> flags,
                       std::initializer_list<const char*> valued, const QStringList& arguments,
                       std::initializer_list<const char*> repeatable)
{
    for (const char* names : flags)
        parser.addOption(QCommandLineOption(QString::fromLatin1(names).split(QLatin1Char(','))));
    QStringList valueNames;
    for (const char* name : valued) {
        valueNames.append(QString::fromLatin1(name));
        parser.addOption(QCommandLineOption(valueNames.constLast(), QString(), valueNames.constLast()));
    }
    const bool parsed = parser.parse(QStringList {QString()} + arguments);
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("unknown option '%1'").arg(dashed(parser.unknownOptionNames().constFirst()));
    const QStringList found = parser.optionNames();
    for (qsizetype i = 0; i < found.size(); ++i) {
        const bool mayRepeat = std::any_of(repeatable.begin(), repeatable.end(),
                                           [&](const char* name) { return found.at(i) == QLatin1String(name); });
        if (!mayRepeat && found.indexOf(found.at(i)) < i)
            return QStringLiteral("%1 is given twice").arg(dashed(found.at(i)));
    }
    if (parsed)
        return {};
    // The parser tells these two only in its own words: a value missing after the
    // last option, or one given to an option that takes none.
    if (!found.isEmpty() && valueNames.contains(found.constLast()) && parser.values(found.constLast()).isEmpty())
        return QStringLiteral("%1 needs a value").arg(dashed(found.constLast()));
    for (const QString& argument : arguments) {
        const QString typed = argument.section(QLatin1Char('='), 0, 0);
        const QString name = QString(typed).remove(QRegularExpression(QStringLiteral("^--?")));
        if (argument.contains(QLatin1Char('=')) && typed != name && found.contains(name) && !valueNames.contains(name))
            return QStringLiteral("%1 takes no value").arg(typed);
    }
    return parser.errorText();
}

std::optional<qint64> wholeNumber(const QString& text, qint64 low, qint64 high)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace ql
