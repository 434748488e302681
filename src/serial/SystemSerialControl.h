#pragma once

#include "serial/PortMap.h"
#include "serial/Waiter.h"
#include "serial/SerialControl.h"

#include <chrono>
#include <memory>

namespace ql {

// The serial control on the operating system's own serial devices. Port numbers
// are looked up in the PortMap at every open.
class SystemSerialControl final : public SerialControl {
public:
    explicit SystemSerialControl(PortMap ports);
    ~SystemSerialControl() override;
    SystemSerialControl(const SystemSerialControl&) = delete;
    SystemSerialControl& operator=(const SystemSerialControl&) = delete;

    void setCommPort(qint16 port) override;
    qint16 CommPort() const override;

    void setSettings(const QString& settings) override;
    QString Settings() const override;

    void setInputLen(qint16 length) override;
    void setInputMode(InputMode mode) override;

    qint16 InBufferCount() override;
    void setInBufferCount(qint16 count) override;

    qint16 OutBufferCount() override;
    void setOutBufferCount(qint16 count) override;

    bool PortOpen() const override;
    void setPortOpen(bool open) override;

    void setOutput(const QString& text) override;
    QString Input() override;
    PortReadiness readiness(PortEvent event) override;
    bool deliveryUnseen() const override;
    std::chrono::milliseconds outputStall() const override;

    const PortMap& ports() const;
    void setPorts(PortMap ports);

    // Blocks until the open port may have the event, the deadline passed or the
    // wake handle became readable (true then); returns at once while closed.
    bool await(PortEvent event, qintptr wakeHandle, std::chrono::steady_clock::time_point deadline);

    // The device the open port uses, empty while closed.
    QString devicePath() const;

    // Sets outputStall(), which is otherwise the open device's own; a close gives
    // up after it too.
    void setOutputStall(std::chrono::milliseconds stall);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace ql
