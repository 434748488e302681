#pragma once

#include "records/RecordList.h"
#include "transfer/TransferHost.h"

#include <QStringList>

#include <chrono>
#include <cstdio>

namespace ql::cli {

// A terminal or a script as the transfers see it: each posted message is a
// time-stamped line on standard output; the records moved drive a progress line
// on standard error while that is a terminal.
class CliHost final : public TransferHost {
public:
    struct Output {
        std::FILE* events = stdout;
        std::FILE* progress = nullptr; // none when null
        bool quiet = false;
    };

    explicit CliHost(Output output);

    void postMessage(const QString& text) override;
    QString lastMessage() const override;
    void showStatus(const QString&) override {}
    RecordList& records() override { return m_records; }
    void recordMoved(const TransferResult& soFar) override;

    // Records, bytes, seconds and characters per second of the records moved.
    static QString summary(const TransferResult& result);
    // The event lines held back by --quiet, for a run that failed.
    void printHeldBack(std::FILE* to) const;
    // Takes the progress line off the terminal before the closing lines.
    void clearProgress();

private:
    using Clock = std::chrono::steady_clock;

    void printLine(std::FILE* to, const QString& line) const;

    Output m_output;
    RecordList m_records;
    QString m_lastMessage;
    QStringList m_lines;
    Clock::time_point m_lastDrawn {};
    bool m_progressShown = false;
};

} // namespace ql::cli
