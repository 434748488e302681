#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

namespace ql::test {

// The PC's end of the line, with nothing but POSIX calls: opens the link path like
// a serial port in raw mode, non-blocking.
class PcSide {
public:
    explicit PcSide(const QString& path);
    ~PcSide();
    PcSide(const PcSide&) = delete;
    PcSide& operator=(const PcSide&) = delete;

    int fd() const { return m_fd; }
    // Writes every byte, waiting while the line's queue is full; false when the
    // line failed or stayed full for the bound.
    bool write(const QByteArray& bytes, std::chrono::milliseconds bound = std::chrono::seconds(10));
    // Writes what the queue takes now; -1 when the line failed.
    qsizetype writeWhatFits(const QByteArray& bytes);
    // Reads until `count` bytes came, the line hung up or the bound ran out.
    QByteArray read(qsizetype count, std::chrono::milliseconds bound = std::chrono::seconds(10));
    // Reads until `last` arrived, the line hung up or the bound ran out.
    QByteArray readThrough(char last, std::chrono::milliseconds bound = std::chrono::seconds(10));
    // Whatever arrives within the period: for checking that nothing does.
    QByteArray readFor(std::chrono::milliseconds period);
    // Whether the device hung up the line within the bound.
    bool seesHangUp(std::chrono::milliseconds bound = std::chrono::seconds(10));
    void close();

private:
    // Appends what one read gives after waiting at most `waitMs`; false once the line is gone.
    bool readOnce(QByteArray& out, int waitMs);

    int m_fd = -1;
};

} // namespace ql::test
