#pragma once

#include "common/Failure.h"
#include "records/RecordList.h"
#include "transfer/TransferHost.h"

#include <QRegularExpression>
#include <QStringList>

#include <functional>
#include <ostream>
#include <vector>

namespace ql::test {

// The window as the transfers see it, recording what they do to it.
class FakeTransferHost final : public TransferHost {
public:
    // Script
    qint16 windowsOpen = 1;
    // Runs inside every yield with the pass number, as a click handled there would.
    std::function<void(long long pass)> onYield;
    LineControls controls {QStringLiteral("1"), QStringLiteral("9600"), QStringLiteral("8"),
                           QStringLiteral("1")};
    QString file = QStringLiteral("data.txt");
    QString process = QStringLiteral("PC->HHC");
    bool failProcessRead = false;

    // Record
    QStringList events;   // lstEvents
    QStringList statuses; // every text shown on lblStatus directly, in order
    QString caption;      // lblMsgMgr
    long long yields = 0;
    int eventClears = 0;
    std::vector<bool> enableCalls;
    QStringList views;
    RecordList lstRecords;

    void postMessage(const QString& text) override
    {
        caption = text;
        events.append(text);
    }
    QString lastMessage() const override { return caption; }
    void showStatus(const QString& text) override { statuses.append(text); }

    qint16 YieldToWindows() override
    {
        ++yields;
        if (onYield)
            onYield(yields);
        return windowsOpen;
    }
    void EnableSettings(bool enabled) override { enableCalls.push_back(enabled); }
    void SwitchListView(const QString& viewCode) override { views.append(viewCode); }
    void clearEvents() override
    {
        events.clear();
        ++eventClears;
    }

    LineControls lineControls() const override { return controls; }
    QString fileText() const override { return file; }
    QString processText() const override
    {
        if (failProcessRead)
            throw Failure(Failure::kProgramError, QStringLiteral("Process unreadable"));
        return process;
    }
    RecordList& records() override { return lstRecords; }

    // The event list with the time of day blanked, so that runs compare exactly.
    QStringList eventsWithoutTime() const
    {
        static const QRegularExpression time(QStringLiteral("^(Started \\w+ process at )\\d\\d:\\d\\d:\\d\\d$"));
        QStringList result;
        for (const QString& event : events)
            result.append(QString(event).replace(time, QStringLiteral("\\1HH:mm:ss")));
        return result;
    }
};

} // namespace ql::test

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
