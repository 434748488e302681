#pragma once

#include <QAbstractItemModel>
#include <QComboBox>
#include <QListView>
#include <QStringList>

namespace ql::test {

inline QStringList rows(const QListView& list)
{
    QStringList texts;
    const QAbstractItemModel& model = *list.model();
    for (int row = 0; row < model.rowCount(); ++row)
        texts.append(model.index(row, 0).data().toString());
    return texts;
}

inline QStringList entries(const QComboBox& combo)
{
    QStringList texts;
    for (int index = 0; index < combo.count(); ++index)
        texts.append(combo.itemText(index));
    return texts;
}

} // namespace ql::test
