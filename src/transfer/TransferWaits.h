#pragma once

#include "common/Failure.h"

#include <QString>
#include <QtGlobal>

namespace ql {

class MessagePoster;
class SerialControl;

// Passes of a handshake wait between two progress dots, and the dots that end it.
inline constexpr qint32 kPassesPerDot = 300000;
inline constexpr int kDotsBeforeGivingUp = 10;

// The progress of a handshake wait: one "o" on the status line per 300000 passes.
class ProgressDots {
public:
    explicit ProgressDots(MessagePoster& poster) : m_poster(poster) {}

    // Counts one pass; true once the dots reach the number that ends the wait.
    bool countPass();

private:
    MessagePoster& m_poster;
    QString m_dots;
    qint32 m_passes = 0;
};

// The failure the transfers raise when their own waits run out.
Failure deviceNotResponding();

// "HH:mm:ss" of the local time, for the start messages.
QString currentTimeText();

// Closes the port directly if it reads open. Called from the failure endings,
// where nothing more may escape.
void forcePortClosed(SerialControl& MSCommI) noexcept;

} // namespace ql
