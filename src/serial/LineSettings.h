#pragma once

#include <cstdint>

class QString;

namespace ql {

enum class Parity { None, Even, Odd };
enum class StopBits { One, OneAndHalf, Two };

// A line settings text such as "115200,N,8,1", taken apart and checked.
struct LineSettings {
    std::uint32_t baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    // Accepts "baud,parity,data,stop": baud a positive integer, parity N, E or O
    // (either case), data bits 5 to 8, stop bits 1, 1.5 (with 5 data bits only) or 2
    // (with 6 to 8), as UARTs offer them. Fails with a description of what is wrong.
    static LineSettings parse(const QString& text);

    // The number of bits one character takes on the wire, start and stop bits included.
    double bitsPerCharacter() const
    {
        const double stop = stopBits == StopBits::One ? 1.0 : stopBits == StopBits::Two ? 2.0 : 1.5;
        return 1.0 + dataBits + (parity == Parity::None ? 0.0 : 1.0) + stop;
    }
};

inline constexpr char kDefaultLineSettings[] = "9600,N,8,1";

} // namespace ql
