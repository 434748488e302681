#pragma once

#include "common/Failure.h"
#include "serial/SerialControl.h"

#include <QString>

#include <functional>
#include <limits>
#include <optional>

namespace ql::test {

// A serial control driven by a script, cheap enough to be polled millions of
// times, that counts every read the transfers make.
class ScriptedSerialControl final : public SerialControl {
public:
    static inline const QString kClosedText = QStringLiteral("The port is not open");
    static inline const QString kWriteFailedText = QStringLiteral("Write failed");
    static constexpr int kAlwaysBusy = std::numeric_limits<int>::max();

    // Script
    QString incoming;                 // what the device has sent, read from m_readPos on
    int busyOutReads = 0;             // OutBufferCount reads that still see a character queued
    int closeAfterCharacters = -1;    // the port drops once this many characters were written
    int outputFailures = 0;           // Outputs that fail with the port still open
    bool refuseOpen = false;
    bool refuseClose = false;
    std::optional<QString> vanishedText; // the device is gone: every transfer fails with this
    // Runs after every Output, as the device reacting to what it received.
    std::function<void(ScriptedSerialControl&, const QString&)> onOutput;

    // Record
    QString wire;
    long long inputReads = 0;
    long long inBufferReads = 0;
    long long outBufferReads = 0;
    int opens = 0;
    int closes = 0;

    void send(const QString& text) { incoming += text; }
    qsizetype waiting() const { return incoming.size() - m_readPos; }

    void setCommPort(qint16 port) override { m_port = port; }
    qint16 CommPort() const override { return m_port; }
    void setSettings(const QString& settings) override { m_settings = settings; }
    QString Settings() const override { return m_settings; }
    void setInputLen(qint16) override {}
    void setInputMode(InputMode) override {}

    qint16 InBufferCount() override
    {
        checkUsable();
        ++inBufferReads;
        return static_cast<qint16>(std::min<qsizetype>(waiting(), 32767));
    }
    void setInBufferCount(qint16) override { m_readPos = incoming.size(); }

    qint16 OutBufferCount() override
    {
        checkUsable();
        ++outBufferReads;
        if (busyOutReads > 0) {
            if (busyOutReads != kAlwaysBusy)
                --busyOutReads;
            return 1;
        }
        return 0;
    }
    void setOutBufferCount(qint16) override {}

    bool PortOpen() const override { return m_open; }
    void setPortOpen(bool open) override
    {
        if (open) {
            if (refuseOpen)
                throw Failure(2, QStringLiteral("No such port"));
            m_open = true;
            ++opens;
        } else if (m_open) {
            if (refuseClose)
                throw Failure(3, QStringLiteral("Close refused"));
            m_open = false;
            ++closes;
        }
    }

    void setOutput(const QString& text) override
    {
        checkUsable();
        if (outputFailures > 0) {
            --outputFailures;
            throw Failure(5, kWriteFailedText);
        }
        wire += text;
        if (closeAfterCharacters >= 0 && wire.size() >= closeAfterCharacters)
            m_open = false;
        if (onOutput)
            onOutput(*this, text);
    }

    QString Input() override
    {
        checkUsable();
        ++inputReads;
        if (m_readPos < incoming.size())
            return incoming.mid(m_readPos++, 1);
        return {};
    }

private:
    void checkUsable() const
    {
        if (vanishedText)
            throw Failure(4, *vanishedText);
        if (!m_open)
            throw Failure(1, kClosedText);
    }

    qint16 m_port = 0;
    QString m_settings;
    bool m_open = false;
    qsizetype m_readPos = 0;
};

} // namespace ql::test
