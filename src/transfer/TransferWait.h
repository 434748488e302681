#pragma once

#include "common/Failure.h"
#include "serial/Waiter.h"

#include <QString>

#include <chrono>
#include <optional>

namespace ql {

class MessagePoster;

// A handshake shows one more dot on the status line for each of these it waits.
inline constexpr std::chrono::milliseconds kDotInterval {1500};
// Ten dots.
inline constexpr std::chrono::milliseconds kHandshakeTimeout {15000};

// The failure the transfers raise when their own waits run out.
class DeviceNotResponding final : public Failure {
public:
    DeviceNotResponding();
};

// The failure of a reception whose device fell silent past its quiet limit.
class ReceptionQuiet final : public Failure {
public:
    explicit ReceptionQuiet(std::chrono::milliseconds limit);
};

// One wait of a transfer between its looks at the port, on the waiter's clock: for
// the device's answer or begin request (a handshake, which shows its progress dots
// on the status line of `dots`), for the transmit queue to empty before a record,
// or for the characters of a record. It runs out after `limit`, never without one.
class TransferWait {
public:
    using Clock = Waiter::Clock;

    TransferWait(Waiter& waiter, PortEvent event, std::optional<std::chrono::milliseconds> limit,
                 MessagePoster* dots = nullptr);

    // Before each look at the port: sleeps until the port may have what the wait is
    // for, the next dot is due, the wait runs out or Abort. False when nobody is
    // left to end the wait.
    bool nextPass();
    // After each pass: shows the dots due, and fails with DeviceNotResponding once
    // the wait has run out.
    void checkTime();

private:
    int dotsDue() const;

    Waiter& m_waiter;
    PortEvent m_event;
    MessagePoster* m_dotsPoster;
    Clock::time_point m_start;
    Clock::time_point m_deadline = Clock::time_point::max();
    QString m_dots;
};

} // namespace ql
