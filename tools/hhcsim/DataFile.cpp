#include "hhcsim/DataFile.h"

#include <QFile>
#include <QSaveFile>

namespace ql::hhcsim {

QByteArrayList parseDataFile(const QByteArray& bytes)
{
    QByteArrayList records;
    qsizetype start = 0;
    for (;;) {
        const qsizetype cr = bytes.indexOf('\r', start);
        if (cr < 0)
            break;
        records.append(bytes.mid(start, cr - start));
        start = cr + 1;
        if (start < bytes.size() && bytes.at(start) == '\n')
            ++start;
    }
    if (start < bytes.size())
        records.append(bytes.mid(start));
    return records;
}

QByteArray formatDataFile(const QByteArrayList& records)
{
    QByteArray out;
    qsizetype size = 0;
    for (const QByteArray& record : records)
        size += record.size() + 2;
    out.reserve(size);
    for (const QByteArray& record : records) {
        out.append(record);
        out.append("\r\n", 2);
    }
    return out;
}

bool readDataFile(const QString& path, QByteArrayList& records, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    records = parseDataFile(bytes);
    return true;
}

bool writeDataFile(const QString& path, const QByteArrayList& records, QString& error)
{
    // All or nothing: a failed write leaves the previous file in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(formatDataFile(records)) < 0 || !file.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace ql::hhcsim
