#include "datalog/RecordMigration.h"

#include "datalog/RecordStore.h"
#include "datalog/ServerRecordStore.h"

#include <algorithm>

RecordMigration RecordMigration::run(RecordStore &local, ServerRecordStore &server,
                                     const std::function<void(const QString &)> &progress)
{
    RecordMigration result;
    std::optional<QList<RecordInfo>> records = local.savedRecords();
    if (!records) {
        result.error = QStringLiteral("The records of this computer cannot be read: ") + local.lastError().description;
        return result;
    }
    std::reverse(records->begin(), records->end());
    result.total = int(records->size());
    if (!server.connect()) {
        result.error = server.lastError().description;
        return result;
    }
    int done = 0;
    for (const RecordInfo &record : *records) {
        ++done;
        QString number;
        const QString step = QStringLiteral("[%1/%2] record %3: ").arg(done).arg(result.total).arg(record.recNo);
        switch (server.copyLocalRecord(record, &number)) {
        case ServerRecordStore::CopyResult::Copied:
            ++result.copied;
            progress(step + QStringLiteral("copied as server record %1").arg(number));
            break;
        case ServerRecordStore::CopyResult::AlreadyThere:
            ++result.alreadyThere;
            progress(step + QStringLiteral("already on the server as record %1").arg(number));
            break;
        case ServerRecordStore::CopyResult::Failed:
            if (server.lastError().unreachable) {
                result.error = server.lastError().description;
                progress(step + result.error);
                return result;
            }
            ++result.failed;
            progress(step + QStringLiteral("not copied: ") + server.lastError().description);
            break;
        }
    }
    return result;
}
