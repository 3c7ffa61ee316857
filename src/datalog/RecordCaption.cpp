#include "datalog/RecordCaption.h"

#include "datalog/RecordTypes.h"

namespace RecordCaption {

QString shown(const RecordInfo &record, bool recording, bool hasSamples)
{
    if (recording)
        return QStringLiteral("Recording\u2026");
    const QString number = record.recNo.trimmed();
    if (number.isEmpty())
        return hasSamples ? QStringLiteral("Record not saved") : QString();
    const QString description = record.comment.trimmed();
    return description.isEmpty() ? QStringLiteral("Record %1").arg(number)
                                 : QStringLiteral("Record %1: %2").arg(number, description);
}

QString times(const RecordInfo &record)
{
    if (record.startTime.isEmpty())
        return QString();
    return QStringLiteral("Start: %1   End: %2").arg(record.startTime, record.endTime);
}

QString title(const QString &machineType, const QString &shown)
{
    const QString type = machineType.trimmed();
    if (type.isEmpty())
        return shown;
    return shown.isEmpty() ? type : type + QStringLiteral("   ") + shown;
}

} // namespace RecordCaption
