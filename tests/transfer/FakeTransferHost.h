#pragma once

#include "records/RecordList.h"
#include "transfer/TransferHost.h"

#include <QRegularExpression>
#include <QStringList>

#include <ostream>
#include <vector>

namespace ql::test {

// A front end as the transfers see it, recording what they do to it.
class FakeTransferHost final : public TransferHost {
public:
    QStringList events;   // lstEvents
    QStringList statuses; // every text shown on lblStatus directly, in order
    QString caption;      // lblMsgMgr
    int starts = 0;
    std::vector<TransferResult> moved;
    RecordList lstRecords;

    void postMessage(const QString& text) override
    {
        caption = text;
        events.append(text);
    }
    QString lastMessage() const override { return caption; }
    void showStatus(const QString& text) override { statuses.append(text); }
    RecordList& records() override { return lstRecords; }
    void transferStarting() override { ++starts; }
    void recordMoved(const TransferResult& soFar) override { moved.push_back(soFar); }

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
