#pragma once

#include "common/Failure.h"

#include <QString>
#include <QtGlobal>

namespace ql {

class MessagePoster;
class SerialControl;
class TransferPacing;
struct TransferResult;

// The progress of a handshake wait: one more "o" on the status line for each dot due.
class ProgressDots {
public:
    explicit ProgressDots(MessagePoster& poster) : m_poster(poster) {}

    void show(int due);

private:
    MessagePoster& m_poster;
    QString m_dots;
};

// The failure the transfers raise when their own waits run out.
class DeviceNotResponding final : public Failure {
public:
    DeviceNotResponding();
};

// Posts why the run failed: the failure's description and, for a step of opening
// or closing the port, the reason the control gave. After Abort, a failure of the
// closed port is told as who closed it.
void postFailure(MessagePoster& poster, const Failure& failure, const TransferPacing& pacing);

// Records in the result how the run failed, after its messages are posted.
void noteFailure(TransferResult& result, const Failure& failure, const TransferPacing& pacing);

// "HH:mm:ss" of the local time, for the start messages.
QString currentTimeText();

// Closes the port directly if it reads open. Called from the failure endings,
// where nothing more may escape.
void forcePortClosed(SerialControl& MSCommI) noexcept;

} // namespace ql
