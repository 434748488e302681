#include "serial/NumericText.h"

#include "common/Failure.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace ql {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

} // namespace

double numericValue(const QString& text)
{
    const qsizetype size = text.size();
    qsizetype pos = 0;
    while (pos < size && isBlank(text[pos]))
        ++pos;

    bool negative = false;
    if (pos < size && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) {
        negative = text[pos] == QLatin1Char('-');
        ++pos;
    }

    // Gathered as plain ASCII for from_chars, which takes no sign and no locale.
    std::string number;
    qsizetype digits = 0;
    while (pos < size && isDigit(text[pos])) {
        number += text[pos++].toLatin1();
        ++digits;
    }
    if (pos < size && text[pos] == QLatin1Char('.')) {
        number += '.';
        ++pos;
        while (pos < size && isDigit(text[pos])) {
            number += text[pos++].toLatin1();
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;

    // An exponent counts only when digits follow it: "2e" is 2.
    if (pos < size && (text[pos] == QLatin1Char('e') || text[pos] == QLatin1Char('E'))) {
        qsizetype look = pos + 1;
        std::string exponent = "e";
        if (look < size && (text[look] == QLatin1Char('+') || text[look] == QLatin1Char('-')))
            exponent += text[look++].toLatin1();
        if (look < size && isDigit(text[look])) {
            while (look < size && isDigit(text[look]))
                exponent += text[look++].toLatin1();
            number += exponent;
        }
    }

    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Too large reads as infinite (and fails any later rounding); too small as 0.
        const bool tooLarge = number.find_first_of("123456789") != std::string::npos
            && number.find("e-") == std::string::npos;
        value = tooLarge ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

qint16 roundToInt16(double value)
{
    double rounded = std::floor(value);
    const double fraction = value - rounded;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0))
        rounded += 1.0;
    // Anything far outside the range goes in as a value checkedInt16 refuses.
    const double limit = 1e9;
    if (!(rounded > -limit && rounded < limit))
        rounded = limit;
    return checkedInt16(static_cast<long long>(rounded));
}

qint16 numericInt16(const QString& text)
{
    return roundToInt16(numericValue(text));
}

QString shortestDecimal(double value)
{
    if (value == 0.0 || std::isnan(value))
        return QStringLiteral("0");
    char buffer[400];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (error != std::errc())
        return QString::number(value, 'g', 17);
    return QString::fromLatin1(buffer, end - buffer);
}

} // namespace ql
