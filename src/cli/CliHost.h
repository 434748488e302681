#pragma once

#include "records/RecordList.h"
#include "transfer/TransferHost.h"

#include <QStringList>

#include <chrono>
#include <cstdio>

namespace ql::cli {

// The window as the transfers see it, for a terminal or a script: each posted
// message is a time-stamped line on standard output; the status texts drive a
// progress line on standard error while that is a terminal.
class CliHost final : public TransferHost {
public:
    struct Output {
        std::FILE* events = stdout;
        std::FILE* progress = nullptr; // none when null
        bool quiet = false;
    };

    CliHost(QString processText, QString file, LineControls controls, TransferPacing& pacing, Output output);

    void postMessage(const QString& text) override;
    QString lastMessage() const override;
    void showStatus(const QString& text) override;

    // Nothing else runs while a transfer waits: the program's one window stays open.
    qint16 YieldToWindows() override { return 1; }
    void EnableSettings(bool) override {}
    void SwitchListView(const QString&) override {}
    void clearEvents() override {}

    LineControls lineControls() const override { return m_controls; }
    QString fileText() const override { return m_file; }
    QString processText() const override { return m_process; }
    RecordList& records() override { return m_records; }
    TransferPacing& pacing() override { return m_pacing; }

    const QStringList& messages() const { return m_messages; }
    bool posted(const QString& text) const { return m_messages.contains(text); }

    // Received records that the data file keeps but cannot give back as they came.
    int unholdableRecords() const;
    // Records, bytes, seconds and characters per second of the records moved.
    QString summary() const;
    // The event lines held back by --quiet, for a run that failed.
    void printHeldBack(std::FILE* to) const;
    // Takes the progress line off the terminal before the closing lines.
    void clearProgress();

private:
    using Clock = std::chrono::steady_clock;

    void printLine(std::FILE* to, const QString& line) const;
    void drawProgress();
    double dataSeconds() const;

    QString m_process;
    QString m_file;
    LineControls m_controls;
    TransferPacing& m_pacing;
    Output m_output;
    RecordList m_records;
    QStringList m_messages;
    QStringList m_lines;

    // From the answer of the handshake on, every status text stands for one record.
    bool m_moving = false;
    int m_recordsDone = 0;
    qint64 m_bytes = 0;
    Clock::time_point m_dataStart {};
    Clock::time_point m_lastRecord {};
    Clock::time_point m_lastDrawn {};
    bool m_progressShown = false;
};

} // namespace ql::cli
