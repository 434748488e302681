#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <optional>

namespace ql {

// The record count and character positions are 16-bit signed numbers, so a data
// file holds at most this many records of at most this many characters.
inline constexpr qsizetype kMaxRecords = 32767;
inline constexpr qsizetype kMaxRecordLength = 32767;

// Cuts a data file's bytes into records as they are read, one character per byte
// (Latin-1). A file holding any CR ends a record at CR LF or at a lone CR, and a
// lone LF is data: so every file this program writes reads back unchanged. A file
// without any CR ends a record at LF. Text after the last terminator is one more
// record. A file of too many or too long records is refused as soon as that shows,
// so that neither its size nor a cut-off set ever passes for the whole file.
class RecordSplitter {
public:
    explicit RecordSplitter(qsizetype maxRecords = kMaxRecords, qsizetype maxLength = kMaxRecordLength)
        : m_maxRecords(maxRecords), m_maxLength(maxLength)
    {
    }

    // Takes the next bytes of the file; false once it can no longer be a data file.
    bool feed(QByteArrayView bytes);
    // The records of the whole file; empty when it was refused.
    std::optional<QStringList> finish();

private:
    enum class Rule { Undecided, CrEnds, LfEnds };

    bool split(QByteArrayView bytes);
    bool add(QByteArrayView tail);

    qsizetype m_maxRecords;
    qsizetype m_maxLength;
    Rule m_rule = Rule::Undecided;
    bool m_refused = false;
    bool m_afterCr = false;  // an LF that comes next belongs to the CR before it
    QByteArray m_head;       // the first bytes, until they show which rule holds
    QByteArray m_pending;    // the start of a record cut by the end of a chunk
    QStringList m_records;
};

// The records of a whole file's bytes, as RecordSplitter reads them.
std::optional<QStringList> splitRecords(QByteArrayView bytes, qsizetype maxRecords = kMaxRecords,
                                        qsizetype maxLength = kMaxRecordLength);

// The bytes of a data file: every record followed by CR LF; no records, no bytes.
QByteArray joinRecords(const QStringList& records);

// Records that a data file keeps byte for byte but cannot give back as they came:
// one holding a CR reads back as more than one record (a lone LF is data), and
// one longer than a record may be gets the whole file refused.
struct UnholdableRecords {
    int count = 0;
    int firstNumber = 0;       // counted from 1; 0 when there is none
    qsizetype firstLength = 0; // the first one's length when that is its fault, else 0
};
UnholdableRecords findUnholdableRecords(const QStringList& records);

} // namespace ql
