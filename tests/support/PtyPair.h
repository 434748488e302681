#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

namespace ql::test {

// A pseudo-terminal pair: a virtual serial port for tests. The program side opens
// slavePath() like any device; the test plays the far end on the master.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const QString& slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Writes every byte to the far end.
    void write(const QByteArray& bytes);
    // Reads what arrives until `count` bytes came or the bound ran out.
    QByteArray read(int count, std::chrono::milliseconds bound = std::chrono::seconds(10));
    // Reads whatever is waiting now, without blocking.
    QByteArray readAvailable();
    // Hangs up the far end: the program side then sees the device gone.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1; // kept open so the pair lives while the program side reopens
    QString m_slavePath;
};

} // namespace ql::test
