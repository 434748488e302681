#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <optional>

namespace ql {

// Parses `arguments` (without the program's name) for the options named in `flags`
// (a one-letter name may stand beside, as in "h,help") and in `valued`, which take a
// value. Gives the first fault in the words the programs have always used ("unknown
// option '--x'", "--x is given twice", "--x needs a value", "--x takes no value"),
// or nothing when the options are well formed; what the values mean is the caller's.
// Only the options named in `repeatable` may be given more than once.
QString parseArguments(QCommandLineParser& parser, std::initializer_list<const char*> flags,
                       std::initializer_list<const char*> valued, const QStringList& arguments,
                       std::initializer_list<const char*> repeatable = {});

// Digits only (no sign, blanks or hexadecimal), from low to high.
std::optional<qint64> wholeNumber(const QString& text, qint64 low, qint64 high);

} // namespace ql
