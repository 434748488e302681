#pragma once

#include "common/Failure.h"
#include "serial/SerialControl.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <vector>

namespace ql::test {

// A scripted serial control. It records every call in order, answers from scripts
// where a test gives them and otherwise behaves like a port with an instant line:
// what Output queues leaves at the next OutBufferCount (drainPerPoll at a time),
// and what feed() puts in arrives one character per Input. Like the real control
// it refuses Input, the counts and Output while closed (unless told otherwise).
// Cheap enough to be polled millions of times with recordCalls off.
class FakeSerialControl : public SerialControl {
public:
    static inline const QString kClosedText = QStringLiteral("port is not open");
    static inline const QString kFailedText = QStringLiteral("scripted failure");
    static constexpr int kAlwaysBusy = std::numeric_limits<int>::max();

    enum class Op {
        SetCommPort, CommPort, SetSettings, Settings, SetInputLen, SetInputMode,
        InBufferCount, SetInBufferCount, OutBufferCount, SetOutBufferCount,
        PortOpen, SetPortOpen, Output, Input
    };

    struct Call {
        Op op;
        QString value; // the argument of a set; empty for a get
        bool operator==(const Call&) const = default;
    };

    // --- scripts ---
    // Answers of successive Input calls ("" for nothing that call); when used up,
    // Input takes from what feed() gave.
    std::deque<QString> inputScript;
    // Answers of successive InBufferCount / OutBufferCount calls; when used up,
    // the counts come from the fed and queued characters.
    std::deque<qint16> inBufferCountScript;
    std::deque<qint16> outBufferCountScript;
    // How many queued characters one OutBufferCount call lets go (-1: all).
    int drainPerPoll = -1;
    // OutBufferCount calls that still see a character queued, whatever was written.
    int busyOutReads = 0;
    // The port drops once this many characters were written (-1: never).
    int closeAfterCharacters = -1;
    // The device is gone: every call that needs the open port fails with this text.
    std::optional<QString> vanishedText;
    // Whether Input, the counts and Output fail while the port is closed.
    bool closedPortFails = true;
    // Called after each call is recorded and before it is answered (or fails), so a
    // test can act as the far end or as Abort (for example setPortOpen(false)).
    std::function<void(const Call&)> onCall;
    // Called after each Output has been taken, as the device reacting to it.
    std::function<void(FakeSerialControl&, const QString&)> onOutput;

    // Received characters for Input to hand out.
    void feed(const QString& text) { m_incoming += text; }
    // Received characters not taken yet.
    qsizetype waiting() const { return m_incoming.size(); }

    // The n-th call (1-based) of the operation fails, and every later one too
    // when `always` is set.
    void failOn(Op op, int nth = 1, bool always = true) { m_failures[op] = Failing {nth, always}; }
    void clearFailures() { m_failures.clear(); }

    // --- what happened ---
    // Every call in order; a test that polls millions of times may turn this off
    // (countOf still counts).
    bool recordCalls = true;
    std::vector<Call> calls;
    QString written;     // every character handed to Output, in order
    int mostQueued = 0;  // the largest number of characters queued at once
    bool portOpen = false;
    int opens = 0;
    int closes = 0;
    qint16 commPort = 1;
    QString settings = QStringLiteral("9600,N,8,1");
    qint16 inputLen = 0;
    InputMode inputMode = InputMode::Text;

    int countOf(Op op) const
    {
        const auto found = m_counts.find(op);
        return found == m_counts.end() ? 0 : found->second;
    }
    std::vector<Op> ops() const
    {
        std::vector<Op> result;
        for (const Call& call : calls)
            result.push_back(call.op);
        return result;
    }
    int queued() const { return static_cast<int>(m_queued); }

    // --- the control ---
    void setCommPort(qint16 port) override
    {
        enter(Op::SetCommPort, QString::number(port));
        commPort = port;
    }
    qint16 CommPort() const override { return commPort; }

    void setSettings(const QString& text) override
    {
        enter(Op::SetSettings, text);
        settings = text;
    }
    QString Settings() const override { return settings; }

    void setInputLen(qint16 length) override
    {
        enter(Op::SetInputLen, QString::number(length));
        inputLen = length;
    }
    void setInputMode(InputMode mode) override
    {
        enter(Op::SetInputMode, QString::number(static_cast<int>(mode)));
        inputMode = mode;
    }

    qint16 InBufferCount() override
    {
        enter(Op::InBufferCount, {}, true);
        if (!inBufferCountScript.empty()) {
            const qint16 count = inBufferCountScript.front();
            inBufferCountScript.pop_front();
            return count;
        }
        return static_cast<qint16>(std::min<qsizetype>(m_incoming.size(), 32767));
    }
    void setInBufferCount(qint16 count) override
    {
        enter(Op::SetInBufferCount, QString::number(count));
        if (count == 0)
            m_incoming.clear();
    }

    qint16 OutBufferCount() override
    {
        enter(Op::OutBufferCount, {}, true);
        if (!outBufferCountScript.empty()) {
            const qint16 count = outBufferCountScript.front();
            outBufferCountScript.pop_front();
            return count;
        }
        if (busyOutReads > 0) {
            if (busyOutReads != kAlwaysBusy)
                --busyOutReads;
            return 1;
        }
        m_queued = drainPerPoll < 0 ? 0 : std::max<qsizetype>(0, m_queued - drainPerPoll);
        return static_cast<qint16>(m_queued);
    }
    void setOutBufferCount(qint16 count) override
    {
        enter(Op::SetOutBufferCount, QString::number(count));
        if (count == 0)
            m_queued = 0;
    }

    bool PortOpen() const override { return portOpen; }
    void setPortOpen(bool open) override
    {
        enter(Op::SetPortOpen, open ? QStringLiteral("true") : QStringLiteral("false"));
        if (open)
            ++opens;
        else if (portOpen)
            ++closes;
        portOpen = open;
    }

    void setOutput(const QString& text) override
    {
        enter(Op::Output, text, true);
        written += text;
        m_queued += text.size();
        mostQueued = std::max(mostQueued, static_cast<int>(m_queued));
        if (closeAfterCharacters >= 0 && written.size() >= closeAfterCharacters)
            portOpen = false;
        if (onOutput)
            onOutput(*this, text);
    }

    QString Input() override
    {
        enter(Op::Input, {}, true);
        if (!inputScript.empty()) {
            const QString text = inputScript.front();
            inputScript.pop_front();
            return text;
        }
        const qsizetype take = inputLen > 0 ? std::min<qsizetype>(inputLen, m_incoming.size()) : m_incoming.size();
        const QString text = m_incoming.left(take);
        m_incoming.remove(0, take);
        return text;
    }

private:
    struct Failing {
        int nth = 1;
        bool always = true;
    };

    void enter(Op op, const QString& value, bool needsOpenPort = false)
    {
        const Call call {op, value};
        if (recordCalls)
            calls.push_back(call);
        const int nth = ++m_counts[op];
        if (onCall)
            onCall(call);
        const auto failing = m_failures.find(op);
        if (failing != m_failures.end()
            && (nth == failing->second.nth || (failing->second.always && nth > failing->second.nth)))
            throw Failure(8000 + static_cast<int>(op), kFailedText);
        if (needsOpenPort && vanishedText)
            throw Failure(EIO, *vanishedText);
        if (needsOpenPort && closedPortFails && !portOpen)
            throw Failure(EBADF, kClosedText);
    }

    QString m_incoming;
    qsizetype m_queued = 0;
    std::map<Op, Failing> m_failures;
    std::map<Op, int> m_counts;
};

} // namespace ql::test
