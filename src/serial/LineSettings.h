#pragma once

#include <QString>
#include <QtGlobal>

namespace ql {

enum class Parity { None, Even, Odd };
enum class StopBits { One, OneAndHalf, Two };

// A line settings text such as "115200,N,8,1", taken apart and checked.
struct LineSettings {
    quint32 baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    // Accepts "baud,parity,data,stop": baud a positive integer, parity N, E or O
    // (either case), data bits 5 to 8, stop bits 1, 1.5 (with 5 data bits only) or 2
    // (with 6 to 8), as UARTs offer them. Fails with a description of what is wrong.
    static LineSettings parse(const QString& text);

    // The number of bits one character takes on the wire, start and stop bits included.
    double bitsPerCharacter() const;
};

inline constexpr char kDefaultLineSettings[] = "9600,N,8,1";

} // namespace ql
