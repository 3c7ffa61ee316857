#pragma once

#include "datalog/RecordTypes.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

// The list of saved records as a table of five columns (number, start time, end time,
// comment, and the bench a lab server's record came from) under the record list's captions,
// for the load and delete lists.
class SavedRecordModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit SavedRecordModel(QObject *parent = nullptr);

    // "編號", "開始時間", "結束時間", "註  解" (two blanks), "Bench".
    static const QStringList &captions();

    void setRecords(const QList<RecordInfo> &records);
    const RecordInfo &record(int row) const { return m_records.at(row); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<RecordInfo> m_records;
};
