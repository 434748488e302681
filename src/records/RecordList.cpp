#include "records/RecordList.h"

#include <algorithm>

namespace ql {
namespace {

// The view draws one line per record: a control character would break the line or
// vanish, so it shows as its control picture, or as the replacement character where
// Unicode has none. The record itself stays as it is.
QString visibleText(const QString& record)
{
    const auto isControl = [](QChar c) { return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0); };
    if (std::none_of(record.cbegin(), record.cend(), isControl))
        return record;
    QString shown = record;
    for (QChar& c : shown) {
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7F)
            c = QChar(0x2421);
        else if (isControl(c))
            c = QChar::ReplacementCharacter;
    }
    return shown;
}

} // namespace

RecordList::RecordList(QObject* parent) : QAbstractListModel(parent) {}

int RecordList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant RecordList::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= count())
        return {};
    return visibleText(m_records.at(index.row()));
}

void RecordList::clear()
{
    if (m_records.isEmpty())
        return;
    beginResetModel();
    m_records.clear();
    endResetModel();
}

void RecordList::append(const QString& record)
{
    const int row = count();
    beginInsertRows({}, row, row);
    m_records.append(record);
    endInsertRows();
}

void RecordList::assign(QStringList records)
{
    beginResetModel();
    m_records = std::move(records);
    endResetModel();
}

} // namespace ql
