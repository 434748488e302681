#include "transfer/TransferWaits.h"

#include "eventlog/MessagePoster.h"
#include "eventlog/Messages.h"
#include "serial/SerialControl.h"

#include <QTime>

namespace ql {

bool ProgressDots::countPass()
{
    if (++m_passes == kPassesPerDot) {
        m_passes = 0;
        m_dots += QLatin1Char('o');
        m_poster.showStatus(m_dots);
    }
    return m_dots.size() >= kDotsBeforeGivingUp;
}

Failure deviceNotResponding()
{
    return Failure(Failure::kProgramError, msg::kDeviceNotResponding, msg::kAuthorsMessage);
}

QString currentTimeText()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

void forcePortClosed(SerialControl& MSCommI) noexcept
{
    try {
        if (MSCommI.PortOpen()) {
            // The run has failed already: what is still queued may go, so that the
            // close does not wait on a device that stopped taking it.
            MSCommI.setOutBufferCount(0);
            MSCommI.setPortOpen(false);
        }
    } catch (...) {
        // The run is already ending with its failure posted; a port that will
        // not close is left for the next open, which closes it first.
    }
}

} // namespace ql
