#pragma once

#include "FakeTransferHost.h"
#include "support/FakeSerialControl.h"
#include "support/ScriptedWaiter.h"

#include "common/Failure.h"
#include "eventlog/Messages.h"
#include "transfer/TransferHost.h"
#include "transfer/RunContext.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace ql::test {

// The serial control of the transfer tests: polled millions of times, it keeps counts only.
struct TransferPort : FakeSerialControl {
    TransferPort() { recordCalls = false; }
};

// A run in one direction, against the fakes and on the scripted clock.
class TransferTest : public ::testing::Test {
protected:
    explicit TransferTest(Direction direction)
    {
        request.direction = direction;
        request.line = {QStringLiteral("1"), QStringLiteral("9600"), QStringLiteral("8"), QStringLiteral("1")};
        request.file = QStringLiteral("data.txt");
    }

    FakeTransferHost host;
    TransferPort port;
    ScriptedWaiter waiter;
    TransferRequest request;
    RunContext context {host, port, waiter, {QStringLiteral("^"), QStringLiteral("$"), QStringLiteral("@")}};
};

// The start message as FakeTransferHost::eventsWithoutTime shows it.
inline const QString kStartedPc2Hhc = msg::startedPc2Hhc(QStringLiteral("HH:mm:ss"));
inline const QString kStartedHhc2Pc = msg::startedHhc2Pc(QStringLiteral("HH:mm:ss"));
inline const QString kConfigured = msg::configuredPort(QStringLiteral("9600,N,8,1"));

// The progress dots as the status line shows them, one text per dot.
inline QStringList dots(int count)
{
    QStringList texts;
    for (int i = 1; i <= count; ++i)
        texts.append(QString(i, QLatin1Char('o')));
    return texts;
}

inline QString overflowText()
{
    try {
        checkedInt16(32768);
    } catch (const Failure& failure) {
        return failure.description();
    }
    return {};
}

} // namespace ql::test
