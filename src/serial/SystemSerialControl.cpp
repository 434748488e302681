#include "serial/SystemSerialControl.h"

#include "common/Failure.h"
#include "serial/LineSettings.h"
#include "serial/SerialDevice.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <optional>

namespace ql {

namespace {

qint16 clampCount(qint64 count)
{
    return static_cast<qint16>(std::min<qint64>(count, std::numeric_limits<qint16>::max()));
}

char latin1(QChar c)
{
    return c.unicode() > 0xFF ? '?' : static_cast<char>(c.unicode());
}

// Runs one operation of the device, turning its failure into the program's own.
template <typename Operation>
auto onDevice(Operation operation)
{
    try {
        return operation();
    } catch (const SerialError& error) {
        const QString description = QFile::decodeName(error.description().c_str());
        if (error.kind() == SerialError::Kind::Refused)
            throw LineSettingsRefused(error.systemNumber(), description);
        throw Failure(error.systemNumber(), description);
    }
}

} // namespace

struct SystemSerialControl::Impl {
    PortMap ports;
    qint16 commPort = 1;
    QString settingsText = QString::fromLatin1(kDefaultLineSettings);
    LineSettings settings = LineSettings::parse(settingsText);
    qint16 inputLen = 0;
    // Input asked to be discarded while closed goes at the next open; an open
    // that nobody asked to discard (the start-up probe) leaves it alone.
    bool discardInAtOpen = false;
    std::optional<std::chrono::milliseconds> outputStall;
    std::unique_ptr<SerialDevice> device;

    SerialDevice& requireOpen(const char* what)
    {
        if (!device)
            throw Failure(EBADF, QStringLiteral("%1: the port is not open").arg(QLatin1String(what)));
        return *device;
    }
};

SystemSerialControl::SystemSerialControl(PortMap ports)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->ports = std::move(ports);
}

SystemSerialControl::~SystemSerialControl() = default;

void SystemSerialControl::setCommPort(qint16 port)
{
    if (port < PortMap::kFirstPort || port > PortMap::kLastPort)
        throw Failure(EINVAL, QStringLiteral("Port number %1 is not between %2 and %3")
                                  .arg(port)
                                  .arg(PortMap::kFirstPort)
                                  .arg(PortMap::kLastPort));
    m_impl->commPort = port;
}

qint16 SystemSerialControl::CommPort() const
{
    return m_impl->commPort;
}

void SystemSerialControl::setSettings(const QString& settings)
{
    const LineSettings parsed = LineSettings::parse(settings);
    if (m_impl->device)
        onDevice([&] { m_impl->device->apply(parsed); });
    m_impl->settings = parsed;
    m_impl->settingsText = settings;
}

QString SystemSerialControl::Settings() const
{
    return m_impl->settingsText;
}

void SystemSerialControl::setInputLen(qint16 length)
{
    if (length < 0)
        throw Failure(EINVAL, QStringLiteral("InputLen %1 is negative").arg(length));
    m_impl->inputLen = length;
}

void SystemSerialControl::setInputMode(InputMode)
{
    // Text and binary alike travel as Latin-1, one character per byte.
}

qint16 SystemSerialControl::InBufferCount()
{
    SerialDevice& device = m_impl->requireOpen("InBufferCount");
    return clampCount(onDevice([&] { return device.waitingIn(); }));
}

void SystemSerialControl::setInBufferCount(qint16 count)
{
    if (count != 0)
        throw Failure(EINVAL, QStringLiteral("InBufferCount can only be set to 0"));
    if (m_impl->device)
        onDevice([&] { m_impl->device->discardIn(); });
    else
        m_impl->discardInAtOpen = true;
}

qint16 SystemSerialControl::OutBufferCount()
{
    SerialDevice& device = m_impl->requireOpen("OutBufferCount");
    return clampCount(onDevice([&] { return device.waitingOut(); }));
}

void SystemSerialControl::setOutBufferCount(qint16 count)
{
    if (count != 0)
        throw Failure(EINVAL, QStringLiteral("OutBufferCount can only be set to 0"));
    if (m_impl->device)
        onDevice([&] { m_impl->device->discardOut(); });
}

bool SystemSerialControl::PortOpen() const
{
    return m_impl->device != nullptr;
}

void SystemSerialControl::setPortOpen(bool open)
{
    if (m_impl->device) {
        const std::chrono::milliseconds stall = outputStall();
        // Reset first: the port counts as closed even if the device was gone.
        const std::unique_ptr<SerialDevice> closing = std::move(m_impl->device);
        onDevice([&] { closing->close(stall); });
    }
    if (!open)
        return;
    const std::optional<PortEntry> entry = m_impl->ports.entry(m_impl->commPort);
    if (!entry)
        throw Failure(ENOENT, QStringLiteral("Port %1 does not exist: no serial port has that number (%2 can name one)")
                                  .arg(m_impl->commPort)
                                  .arg(PortMap::variableName(m_impl->commPort)));
    m_impl->device = onDevice(
        [&] { return std::make_unique<SerialDevice>(QFile::encodeName(entry->systemName).toStdString(), m_impl->settings); });
    if (m_impl->discardInAtOpen) {
        onDevice([&] { m_impl->device->discardIn(); });
        m_impl->discardInAtOpen = false;
    }
}

void SystemSerialControl::setOutput(const QString& text)
{
    SerialDevice& device = m_impl->requireOpen("Output");
    if (text.size() == 1) {
        const char byte = latin1(text[0]);
        onDevice([&] { device.write(&byte, 1); });
        return;
    }
    const QByteArray bytes = text.toLatin1();
    onDevice([&] { device.write(bytes.constData(), static_cast<std::size_t>(bytes.size())); });
}

QString SystemSerialControl::Input()
{
    SerialDevice& device = m_impl->requireOpen("Input");
    const std::size_t max = m_impl->inputLen > 0 ? static_cast<std::size_t>(m_impl->inputLen)
                                                 : static_cast<std::size_t>(std::numeric_limits<qint16>::max());
    const std::string_view bytes = onDevice([&] { return device.read(max); });
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

PortReadiness SystemSerialControl::readiness(PortEvent event)
{
    return m_impl->device ? onDevice([&] { return m_impl->device->readiness(event); }) : PortReadiness {true};
}

bool SystemSerialControl::deliveryUnseen() const
{
    return m_impl->device && m_impl->device->isPseudoTerminal();
}

std::chrono::milliseconds SystemSerialControl::outputStall() const
{
    if (m_impl->outputStall)
        return *m_impl->outputStall;
    return m_impl->device ? m_impl->device->outputStall() : kOutputStall;
}

const PortMap& SystemSerialControl::ports() const
{
    return m_impl->ports;
}

void SystemSerialControl::setPorts(PortMap ports)
{
    m_impl->ports = std::move(ports);
}

bool SystemSerialControl::await(PortEvent event, qintptr wakeHandle, std::chrono::steady_clock::time_point deadline)
{
    return m_impl->device && m_impl->device->await(event, wakeHandle, deadline);
}

QString SystemSerialControl::devicePath() const
{
    return m_impl->device ? QFile::decodeName(m_impl->device->path().c_str()) : QString();
}

void SystemSerialControl::setOutputStall(std::chrono::milliseconds stall)
{
    m_impl->outputStall = stall;
}

} // namespace ql
