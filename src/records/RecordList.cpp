#include "records/RecordList.h"

namespace ql {

RecordList::RecordList(QObject* parent) : QAbstractListModel(parent) {}

int RecordList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant RecordList::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= count())
        return {};
    return m_records.at(index.row());
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
