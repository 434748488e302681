#pragma once

#include "eventlog/Messages.h"
#include "serial/PortWaits.h"

#include <QtGlobal>

#include <chrono>
#include <functional>

namespace ql {

class SystemSerialControl;

// The three kinds of wait in a transfer: for the device's answer or begin request,
// for the transmit queue to empty before a record, and for the characters of a record.
enum class WaitKind { Handshake, Drain, Record };

// How the transfers spend the time of their waits between two looks at the port,
// measured on a clock: a handshake shows a dot every 1.5 s and ends after its
// time-out (none when zero), a drain after the port's output stall, a record wait
// never. The
// protocol is the same whichever front end runs it; only how a wait sleeps differs.
class TransferPacing : public PortWaits {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::milliseconds kDotInterval {1500};

    explicit TransferPacing(std::chrono::milliseconds handshakeTimeout) : m_handshakeTimeout(handshakeTimeout) {}

    // Before a run: no Abort is pending.
    void startRun() { m_aborted = false; }
    // `drainStall` bounds a drain wait.
    void startWait(WaitKind kind, std::chrono::milliseconds drainStall = kOutputStall);
    // Before each look at the port: sleeps until the port may have what the wait is
    // for, the next dot is due, the wait runs out or Abort. False when nobody is
    // left to end the wait.
    bool nextPass();
    // After each look: true once the wait has run out.
    bool waitExpired() const;
    // The dots a handshake wait has earned so far.
    int dotsDue() const;
    // What SendPaced blocks on between two characters; null: it polls without pause.
    virtual PortWaits* characterWaits() { return this; }

    // Abort: the run is to end; its next look at the closed port fails it. The
    // failure is told as `closedBy` rather than as what the closed port says.
    void abort(const QString& closedBy = msg::kPortClosedByAbort);
    bool aborted() const { return m_aborted; }
    const QString& abortText() const { return m_abortText; }

    void block(PortEvent event, Clock::time_point deadline) override { sleep(event, deadline); }

protected:
    virtual Clock::time_point now() const { return Clock::now(); }
    virtual void sleep(PortEvent event, Clock::time_point deadline) = 0;
    // Ends a sleep at once, for Abort.
    virtual void wake() {}
    virtual bool attended() const { return true; }

private:
    std::chrono::milliseconds m_handshakeTimeout;
    WaitKind m_kind = WaitKind::Record;
    Clock::time_point m_start {};
    Clock::time_point m_deadline = Clock::time_point::max();
    bool m_aborted = false;
    QString m_abortText;
};

// The pacing of a program without a window: it sleeps on the port and a clock.
// A readable wake handle acts as Abort: the port closes, and `wokenBy`, when
// given, tells why.
class BlockingPacing final : public TransferPacing {
public:
    BlockingPacing(SystemSerialControl& port, std::chrono::milliseconds handshakeTimeout, qintptr wakeHandle,
                   std::function<QString()> wokenBy = {});

protected:
    void sleep(PortEvent event, Clock::time_point deadline) override;

private:
    SystemSerialControl& m_port;
    qintptr m_wakeHandle = -1;
    std::function<QString()> m_wokenBy;
};

} // namespace ql
