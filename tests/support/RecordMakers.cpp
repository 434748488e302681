#include "support/RecordMakers.h"

namespace ql::test {

QByteArrayList makeRecords(int count, int length)
{
    QByteArrayList records;
    records.reserve(count);
    for (int k = 0; k < count; ++k) {
        QByteArray record(length, Qt::Uninitialized);
        for (int i = 0; i < length; ++i)
            record[i] = static_cast<char>('A' + (k + i) % 26);
        records.append(record);
    }
    return records;
}

QByteArray recordsOnWire(const QByteArrayList& records)
{
    return records.isEmpty() ? QByteArray() : records.join('@') + '$';
}

QByteArray allHighBytes()
{
    QByteArray bytes;
    for (int b = 0x80; b <= 0xFF; ++b)
        bytes.append(static_cast<char>(b));
    return bytes;
}

} // namespace ql::test
