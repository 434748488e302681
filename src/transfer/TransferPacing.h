#pragma once

#include "serial/PortWaits.h"
#include "transfer/TransferWaits.h"

#include <QtGlobal>

#include <chrono>
#include <optional>

namespace ql {

class SystemSerialControl;
class TransferHost;

// The three kinds of wait in a transfer: for the device's answer or begin request,
// for the transmit queue to empty before a record, and for the characters of a record.
enum class WaitKind { Handshake, Drain, Record };

// How the transfers spend the time of their waits between two looks at the port.
// The protocol is the same whichever pacing runs it; only the waiting differs.
class TransferPacing {
public:
    virtual ~TransferPacing() = default;

    virtual void startWait(WaitKind kind) = 0;
    // Before each look at the port. False when nobody is left to end the wait.
    virtual bool nextPass() = 0;
    // After each look: counts it; true once the wait has run out.
    virtual bool waitExpired() = 0;
    // What SendPaced blocks on between two characters; null: it polls without pause.
    virtual PortWaits* characterWaits() = 0;
};

// The window's pacing: every pass yields to the window system once, and the waits
// end after a count of passes, the handshake showing a dot per 300000 of them.
class WindowPacing final : public TransferPacing {
public:
    explicit WindowPacing(TransferHost& host) : m_host(host) {}

    void startWait(WaitKind kind) override;
    bool nextPass() override;
    bool waitExpired() override;
    PortWaits* characterWaits() override { return nullptr; }

private:
    TransferHost& m_host;
    WaitKind m_kind = WaitKind::Record;
    std::optional<ProgressDots> m_dots;
    qint32 m_passes = 0;
};

// The pacing of a program without a window: every pass blocks on the port and a
// clock, so that waiting costs no processor time. The handshake ends after a time
// (none when zero), the drain wait after the longest SendPaced waits for a character,
// a record wait never. A readable wake handle acts as Abort: the port closes, and
// the transfer fails at its next look at it.
class BlockingPacing final : public TransferPacing, public PortWaits {
public:
    BlockingPacing(SystemSerialControl& port, std::chrono::milliseconds handshakeTimeout, qintptr wakeHandle);

    void startWait(WaitKind kind) override;
    bool nextPass() override;
    bool waitExpired() override;
    PortWaits* characterWaits() override { return this; }

    void block(PortEvent event, std::chrono::steady_clock::time_point deadline) override;

    // Whether the wake handle ended the run.
    bool aborted() const { return m_aborted; }

private:
    SystemSerialControl& m_port;
    std::chrono::milliseconds m_handshakeTimeout;
    qintptr m_wakeHandle = -1;
    WaitKind m_kind = WaitKind::Record;
    std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();
    bool m_aborted = false;
};

} // namespace ql
