#include "datalog/StoreMessages.h"

#include "datalog/StoreRepair.h"

#include <cstring>

QString storeFailureText(const QString &prefix, const StoreError &error)
{
    if (error.unreachable)
        return error.description;
    return prefix + QStringLiteral("System Error caused by ") + error.number + QLatin1Char(':') + error.description;
}

QString storeRepairedText(const QString &file, const QString &backup, const StoreRepair::Salvage &salvage)
{
    const QString kept = QStringLiteral(" The damaged file is kept as [%1].").arg(backup);
    const std::optional<qint64> before = salvage.samplesBefore;
    if (salvage.samples == 0) {
        if (before && *before == 0)
            return QStringLiteral("The record database [%1] was damaged and has been repaired; it "
                                  "held no samples.").arg(file) + kept;
        const QString lost = before ? QStringLiteral("none of its %1 samples").arg(*before)
                                    : QStringLiteral("no samples");
        return QStringLiteral("The record database [%1] was damaged and %2 could be recovered: the "
                              "program goes on with an empty record database.").arg(file, lost) + kept;
    }
    const QString count = before && *before >= salvage.samples
        ? QStringLiteral("%1 of %2 samples were").arg(salvage.samples).arg(*before)
        : salvage.samples == 1 ? QStringLiteral("1 sample was") : QStringLiteral("%1 samples were").arg(salvage.samples);
    return QStringLiteral("The record database [%1] was damaged and has been repaired: %2 recovered.")
               .arg(file, count) + kept;
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
