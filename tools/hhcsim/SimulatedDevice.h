#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace ql::hhcsim {

class DevicePort;

enum class Mode { Receive, Send, Auto };

// Named from the PC's side, as the program names its two runs.
enum class Direction { PcToHhc, HhcToPc };

// Misbehaviour on request, so that tests can drive the PC through its failure paths.
struct Faults {
    // Receiving: ignore the PC's begin request. Sending: never send one.
    bool noAnswer = false;
    // Bytes sent before the "^" (the answer or the begin request); never a "^".
    int noiseBytes = 0;
    // Sending: send this many records, then fall silent. Receiving: stop reading
    // after this many records. Negative: off.
    int stopAfter = -1;
    // Hang up the line after this many records, sent or received, once the PC has
    // had a moment to read what was sent. The link then points at a fresh line.
    // Negative: off.
    int hangupAfter = -1;
    // Sending, with hangupAfter: the first bytes of the next record go out before
    // the hang-up, a record cut short.
    int cutRecordBytes = 0;
    // Pause after every byte read, one byte per read.
    std::chrono::microseconds slowReadPerByte {0};
    // Pace the line to this rate, ten bits a character: every byte written, and the
    // PC's bytes taken. 0: unpaced.
    int baud = 0;
};

struct DeviceOptions {
    QString linkPath;
    // Talk on this line instead of a pseudo-terminal of the device's own (see
    // DevicePort); run() then ends when the far end goes.
    QString linePath;
    Mode mode = Mode::Auto;
    // What a send session sends. Empty: the device has nothing to send, because
    // the protocol cannot carry an empty set ("$" alone is one empty record).
    QByteArrayList sendRecords;
    // Auto mode: how long the PC has after opening to send its begin request
    // before the device takes it as waiting to receive. Send mode: how long the
    // device lets the PC settle (its open may flush input) before the begin request.
    std::chrono::milliseconds quiet {1000};
    Faults faults;
    // Return from run() after the first session.
    bool once = false;
};

struct DeviceEvent {
    enum class Kind {
        Published,       // the link points at a new PC side
        PortOpened,      // the PC opened the port
        PortClosed,      // the PC closed the port without starting a session
        SessionBegan,
        Note,            // a step worth a line: answered, fault applied, ...
        RecordsReceived, // after the device answered: the records, complete or not
        RecordsSent,
        HungUp,
        SessionEnded,
        Problem,         // something the device cannot serve, or an error that ends run()
    };
    Kind kind = Kind::Note;
    Direction direction = Direction::PcToHhc;
    QByteArrayList records;
    // RecordsReceived: whether the end character arrived; unfinished holds the bytes
    // of a record that was never ended.
    bool complete = false;
    QByteArray unfinished;
    // SessionEnded: every byte read from the PC and written to it since it opened.
    QByteArray received;
    QByteArray sent;
    QString text;
};

// The hand-held device at the far end of a virtual serial line. The constructor
// makes the pseudo-terminal pair and publishes its PC side at the link path (it
// throws std::system_error when it cannot); run() serves sessions on the calling
// thread until stop() or, with `once`, the first session's end.
class SimulatedDevice {
public:
    using Listener = std::function<void(const DeviceEvent&)>;

    SimulatedDevice(DeviceOptions options, Listener listener);
    ~SimulatedDevice();
    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    // False when an operating-system error ended it (reported as a Problem event).
    bool run();
    // From any thread, and safe in a signal handler. Stays in force.
    void stop() noexcept;

    // The slave the link points at now; it changes after a hang-up.
    QString ptsPath() const;

private:
    enum class Io { Ok, Closed, Stopped, TimedOut };
    enum class Want { Input, Output, Nothing };
    enum class Start { Begin, Quiet, Closed, Stopped };
    // Silent: the device stopped reading and waits for the PC to close.
    enum class Ending { Completed, Silent, Closed, HungUp, Stopped };
    struct Outcome {
        Ending ending;
        QString how;
    };
    using Clock = std::chrono::steady_clock;

    void openPort();
    bool waitForOpen();
    bool serveOpenPort();
    Start awaitStart(bool untilQuiet);
    Outcome receiveSession();
    Outcome sendSession();
    Ending receiveRecords(DeviceEvent& received);
    void finishSession(Direction direction, Outcome outcome);
    Ending waitForClose(bool reading);
    QByteArray takeLeftoverInput();

    bool pcClosed();
    Io waitLine(Want want, bool closeFirst, const Clock::time_point* deadline);
    Io takeInput(QByteArray& chunk, bool closeFirst, const Clock::time_point* deadline);
    Io writeBytes(const QByteArray& bytes);
    Io pause(std::chrono::nanoseconds duration, bool watchClose);
    size_t readAllowance() const;
    Io paceRead(qint64 count);
    Io sendNoiseThen(char c);
    void hangUp(const QString& why);
    bool stopRequested() const;
    void emitEvent(const DeviceEvent& event);
    void emitText(DeviceEvent::Kind kind, const QString& text);

    DeviceOptions m_options;
    Listener m_listener;
    int m_stopFd = -1;
    std::unique_ptr<DevicePort> m_port;
    // The PC that opened the port for this session has closed it.
    bool m_closedSinceOpen = false;
    mutable std::mutex m_pathMutex;
    QString m_ptsPath;

    // One session's traffic.
    QByteArray m_pending; // read past a begin request, not yet consumed
    QByteArray m_received;
    QByteArray m_sent;
    Clock::time_point m_paceNext {};
    Clock::time_point m_readLineFree {}; // when the PC's characters taken so far are all through
};

} // namespace ql::hhcsim
