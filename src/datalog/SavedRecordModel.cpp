#include "datalog/SavedRecordModel.h"

SavedRecordModel::SavedRecordModel(QObject *parent) : QAbstractTableModel(parent) {}

const QStringList &SavedRecordModel::captions()
{
    static const QStringList list{QStringLiteral("編號"), QStringLiteral("開始時間"),
                                  QStringLiteral("結束時間"), QStringLiteral("註  解"),
                                  QStringLiteral("Bench")};
    return list;
}

void SavedRecordModel::setRecords(const QList<RecordInfo> &records)
{
    beginResetModel();
    m_records = records;
    endResetModel();
}

int SavedRecordModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_records.size());
}

int SavedRecordModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(captions().size());
}

QVariant SavedRecordModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_records.size() || role != Qt::DisplayRole)
        return QVariant();
    const RecordInfo &r = m_records.at(index.row());
    switch (index.column()) {
    case 0: return r.recNo;
    case 1: return r.startTime;
    case 2: return r.endTime;
    case 3: return r.comment;
    case 4: return r.bench();
    default: return QVariant();
    }
}

QVariant SavedRecordModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= captions().size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return captions().at(section);
}
