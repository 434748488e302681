#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace ql {

// The records of lstRecords: one entry per record, in file or arrival order. The
// window shows it through a list view, one row per record with control characters
// drawn visibly; the file and transfer procedures use it without any widget.
class RecordList final : public QAbstractListModel {
    Q_OBJECT

public:
    explicit RecordList(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    int count() const { return static_cast<int>(m_records.size()); }
    const QString& at(int index) const { return m_records.at(index); }
    const QStringList& records() const { return m_records; }

    void clear();
    void append(const QString& record);
    // Replaces every entry at once, for a whole file.
    void assign(QStringList records);

private:
    QStringList m_records;
};

} // namespace ql
