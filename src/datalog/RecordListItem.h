#pragma once

#include <QListWidgetItem>

// An entry of a saved-record list: the line shown, with the record's number kept as its data,
// so that picking an entry never depends on reading the number back from the text.
inline QListWidgetItem *recordItem(const QString &line, const QString &recNo)
{
    auto *item = new QListWidgetItem(line);
    item->setData(Qt::UserRole, recNo.trimmed());
    return item;
}
