#pragma once

#include "transfer/TransferResult.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

#include <mutex>

namespace ql::watch {

// One reception past its begin request, as the journal keeps it.
struct JournalEntry {
    QDateTime started;
    QDateTime ended;
    QString port;
    QString device;
    QString identity; // none when empty
    Outcome outcome = Outcome::Failed;
    Reason reason = Reason::None;
    int records = 0;
    qint64 bytes = 0;
    QString file;        // where the records went; none when nowhere
    bool recovered = false; // `file` is a recovery file, not one in the folder
    QByteArray sha256;   // of the file as written, in hex
    int unholdableRecords = 0;
    qint64 droppedCharacters = 0;
};

// A time as ISO 8601 with its offset from UTC: 2026-12-08T20:01:02+01:00.
QString isoTime(const QDateTime& time);
// The stable lower-case word of an outcome and of a reason.
QString outcomeWord(Outcome outcome);
QString reasonWord(Reason reason);

// The entry as one line of JSON, its newline included.
QByteArray journalLine(const JournalEntry& entry);

// The journal file, shared by every port: each line is appended whole in one
// write, and reaches the system before the call returns.
class Journal {
public:
    // Opens `path` for appending; false with the reason in `error`.
    bool open(const QString& path, QString& error);
    // Closes and opens the file again under its name, after a rotation moved it.
    bool reopen(QString& error);
    // False when the line could not be written whole; says why in `error`.
    bool append(const JournalEntry& entry, QString& error);

private:
    bool openLocked(const QString& path, QString& error);

    std::mutex m_mutex;
    QFile m_file;
};

} // namespace ql::watch
