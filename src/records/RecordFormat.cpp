#include "records/RecordFormat.h"

#include <cstring>

namespace ql {
namespace {

const char* find(const char* from, const char* to, char wanted)
{
    return static_cast<const char*>(std::memchr(from, wanted, static_cast<size_t>(to - from)));
}

} // namespace

bool RecordSplitter::feed(QByteArrayView bytes)
{
    if (m_refused)
        return false;
    if (m_rule == Rule::Undecided) {
        // A legal file that holds a CR has one among its first m_maxLength + 1 bytes,
        // so those bytes decide; a CR after them makes an over-long first record.
        const qsizetype window = std::min(bytes.size(), m_maxLength + 1 - m_head.size());
        if (find(bytes.data(), bytes.data() + window, '\r') != nullptr)
            m_rule = Rule::CrEnds;
        else if (m_head.size() + bytes.size() > m_maxLength)
            m_rule = Rule::LfEnds;
        else {
            m_head.append(bytes);
            return true;
        }
        const QByteArray head = std::exchange(m_head, {});
        if (!split(head))
            return false;
    }
    return split(bytes);
}

std::optional<QStringList> RecordSplitter::finish()
{
    // A short file still undecided holds no CR at all.
    if (!m_refused && m_rule == Rule::Undecided) {
        m_rule = Rule::LfEnds;
        split(std::exchange(m_head, {}));
    }
    if (!m_refused && !m_pending.isEmpty())
        add({});
    if (m_refused)
        return std::nullopt;
    return std::exchange(m_records, {});
}

bool RecordSplitter::split(QByteArrayView bytes)
{
    const char* start = bytes.data();
    const char* const end = start + bytes.size();
    const char terminator = m_rule == Rule::CrEnds ? '\r' : '\n';
    if (m_afterCr && start < end) {
        m_afterCr = false;
        if (*start == '\n')
            ++start;
    }
    while (start < end) {
        const char* found = find(start, end, terminator);
        const char* const stop = found != nullptr ? found : end;
        // Under the LF rule a CR anywhere means the file's first record was too long.
        if (m_rule == Rule::LfEnds && find(start, stop, '\r') != nullptr) {
            m_refused = true;
            return false;
        }
        if (found == nullptr) {
            if (m_pending.size() + (end - start) > m_maxLength) {
                m_refused = true;
                return false;
            }
            m_pending.append(start, end - start);
            return true;
        }
        if (!add(QByteArrayView(start, found)))
            return false;
        start = found + 1;
        if (m_rule == Rule::CrEnds) {
            if (start == end)
                m_afterCr = true;
            else if (*start == '\n')
                ++start;
        }
    }
    return true;
}

bool RecordSplitter::add(QByteArrayView tail)
{
    if (m_records.size() == m_maxRecords || m_pending.size() + tail.size() > m_maxLength) {
        m_refused = true;
        return false;
    }
    if (m_pending.isEmpty()) {
        m_records.append(QString::fromLatin1(tail));
    } else {
        m_pending.append(tail);
        m_records.append(QString::fromLatin1(m_pending));
        m_pending.clear();
    }
    return true;
}

std::optional<QStringList> splitRecords(QByteArrayView bytes, qsizetype maxRecords, qsizetype maxLength)
{
    RecordSplitter splitter(maxRecords, maxLength);
    splitter.feed(bytes);
    return splitter.finish();
}

QByteArray joinRecords(const QStringList& records)
{
    static constexpr char kTerminator[] = "\r\n";
    qsizetype length = 0;
    for (const QString& record : records)
        length += record.size() + qsizetype(sizeof kTerminator) - 1;

    // Straight into bytes, one record at a time: a text of the whole list first
    // would hold the records a second time, at twice their size.
    QByteArray bytes;
    bytes.reserve(length);
    for (const QString& record : records) {
        bytes += record.toLatin1();
        bytes += kTerminator;
    }
    return bytes;
}

UnholdableRecords findUnholdableRecords(const QStringList& records)
{
    UnholdableRecords found;
    for (qsizetype k = 0; k < records.size(); ++k) {
        const QString& record = records.at(k);
        const bool tooLong = record.size() > kMaxRecordLength;
        if (!tooLong && !record.contains(QLatin1Char('\r')))
            continue;
        if (found.count++ == 0) {
            found.firstNumber = static_cast<int>(k + 1);
            found.firstLength = tooLong ? record.size() : 0;
        }
    }
    return found;
}

} // namespace ql
