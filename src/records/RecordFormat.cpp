#include "records/RecordFormat.h"

#include <algorithm>
#include <cstring>

namespace ql {

std::optional<QStringList> splitRecords(QByteArrayView bytes, qsizetype maxRecords)
{
    const char* const begin = bytes.data();
    const char* const end = begin + bytes.size();

    QStringList records;
    records.reserve(std::min<qsizetype>(std::count(begin, end, '\r') + 1, maxRecords + 1));

    const auto add = [&](const char* from, const char* to) {
        if (records.size() == maxRecords)
            return false;
        records.append(QString::fromLatin1(from, to - from));
        return true;
    };

    const char* start = begin;
    while (start < end) {
        const auto* cr = static_cast<const char*>(std::memchr(start, '\r', static_cast<size_t>(end - start)));
        if (cr == nullptr) {
            if (!add(start, end))
                return std::nullopt;
            break;
        }
        if (!add(start, cr))
            return std::nullopt;
        start = cr + 1;
        if (start < end && *start == '\n')
            ++start;
    }
    return records;
}

QByteArray joinRecords(const QStringList& records)
{
    static const QString kTerminator = QStringLiteral("\r\n");
    qsizetype length = 0;
    for (const QString& record : records)
        length += record.size() + kTerminator.size();

    QString text;
    text.reserve(length);
    for (const QString& record : records) {
        text += record;
        text += kTerminator;
    }
    return text.toLatin1();
}

} // namespace ql
