#pragma once

#include <QString>
#include <QtGlobal>

namespace ql {

// The value of the number a text starts with (leading blanks skipped; sign,
// decimals and exponent accepted), 0 when the text does not start with a number.
double numericValue(const QString& text);

// Rounds to the nearest 16-bit integer, halves to the even neighbour; fails with
// Failure::kOverflow outside -32768..32767.
qint16 roundToInt16(double value);

// numericValue rounded to 16 bits: the port number of a text such as "2.5".
qint16 numericInt16(const QString& text);

// The shortest plain decimal that reads back as the value: 8 -> "8", 1.5 -> "1.5".
QString shortestDecimal(double value);

} // namespace ql
