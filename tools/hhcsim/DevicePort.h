#pragma once

#include <QString>

namespace ql::hhcsim {

// The device's end of a pseudo-terminal pair. The device holds the master; the
// PC opens the slave like a serial port. Construction and publishing throw
// std::system_error carrying the operating system's text.
class DevicePort {
public:
    DevicePort();
    // The device's end of a line that exists already: a unix socket, which it
    // connects to (a virtual machine's serial port), or a terminal. Nothing tells
    // when the PC opens or closes its end, so the PC counts as holding it open.
    explicit DevicePort(const QString& linePath);
    ~DevicePort();
    DevicePort(const DevicePort&) = delete;
    DevicePort& operator=(const DevicePort&) = delete;

    int master() const { return m_master; }
    // Readable whenever the PC side is opened or closed.
    int openWatch() const { return m_watch; }
    const QString& slavePath() const { return m_slavePath; }
    bool isHungUp() const { return m_master < 0; }
    bool isLine() const { return m_watch < 0; }

    struct WatchNews {
        bool opened = false;     // the PC opened the port at least once
        bool lastClosed = false; // the port went from open to closed at least once
    };
    // Takes the opens and closes of the PC side queued so far, in order. The events
    // say what a look at the port cannot: a close followed at once by a new open.
    WatchNews takeWatchNews();
    // How many opens of the PC side are current, from the events taken.
    int pcOpens() const { return m_pcOpens; }

    // Throws away what the device wrote that the PC has not read.
    void discardOutput();
    // Throws away what the PC wrote that the device has not read.
    void discardInput();
    // Closes the master: the PC side sees the line gone.
    void hangUp();

private:
    int m_master = -1;
    int m_watch = -1;
    int m_pcOpens = 0;
    QString m_slavePath;
};

// Points `link` at `target`, replacing an existing symbolic link in one step. A
// path that exists and is not a symbolic link is left alone and reported.
void publishLink(const QString& link, const QString& target);
// Removes `link` only while it still points at `target`, so that a device started
// later on the same path keeps its link.
void removeLinkTo(const QString& link, const QString& target);

} // namespace ql::hhcsim
