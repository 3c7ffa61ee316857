#include "datalog/StoreMessages.h"

#include "datalog/StoreRepair.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <cstring>

QString storeFailureText(const QString &prefix, const StoreError &error)
{
    if (error.unreachable)
        return error.description;
    if (!error.cause.isEmpty())
        return prefix + error.cause;
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

QString diskProblem(const StoreError &error, const QString &folder, const QString &file)
{
    bool numeric = false;
    const int code = error.number.toInt(&numeric) & 0xff;  // SQLite's primary result code
    const QString words = error.description;
    // A failed commit comes without a code: then SQLite's words tell.
    const bool full = numeric ? code == 13 : words.contains(QLatin1String("disk is full"), Qt::CaseInsensitive);
    // I/O error, read-only, no permission, cannot open (the journal beside the file).
    const bool writeFailed = numeric ? (code == 10 || code == 8 || code == 3 || code == 14)
                                     : (words.contains(QLatin1String("disk I/O error"), Qt::CaseInsensitive)
                                        || words.contains(QLatin1String("readonly"), Qt::CaseInsensitive)
                                        || words.contains(QLatin1String("unable to open"), Qt::CaseInsensitive));
    if (!full && !writeFailed)
        return QString();
    const QString where = QDir::toNativeSeparators(QDir::cleanPath(folder));
    const QStorageInfo disk(folder);
    if (full || (disk.isValid() && disk.bytesAvailable() == 0)) {
        return QStringLiteral("There is no space left on the disk holding the folder [%1]. Free some "
                              "space on it, then try again.").arg(where);
    }
    const QFileInfo dir(folder);
    const QFileInfo db(file);
    if (!dir.isWritable() || (db.exists() && !db.isWritable()) || disk.isReadOnly()) {
        return QStringLiteral("There is no permission to write the folder [%1] or the record database "
                              "in it. Give your user write access to both, then try again.").arg(where);
    }
    return QString();
}
