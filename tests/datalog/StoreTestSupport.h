#pragma once

#include "datalog/RecordStore.h"
#include "datalog/RecordTypes.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

// Helpers shared by the record-store tests: sample rows and a second, independent connection
// to a database file for looking at (or tampering with) what the store wrote.
namespace StoreTest {

// Sample `seq` of a recording started at 2026/03/05 10:00:00, one per second, with the given
// channel-1 readings; channels 2..4 get readings derived from `seq`.
SampleRow sample(qint64 seq, const QString &volts = QStringLiteral("12.000"),
                 const QString &amps = QStringLiteral("0.500"), const QString &reason = QStringLiteral("1"));

// A record description with the fields most tests care about.
RecordInfo record(const QString &recNo, const QString &comment = QString(),
                  const QString &startTime = QString(), const QString &recStyle = QString());
// Every field of a record description, "|"-separated, for comparing them all at once.
QString describe(const RecordInfo &r);

// Runs `sql` on its own connection to `file`; false (with a warning) on failure.
bool exec(const QString &file, const QString &sql);
// The first column of every row `sql` returns, as text.
QStringList column(const QString &file, const QString &sql);
// The single value `sql` returns.
QVariant scalar(const QString &file, const QString &sql);

QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);

// A record store on a folder of its own; the store closes before its folder goes.
struct TempStore {
    QTemporaryDir dir;
    RecordStore store;
    QString file() const { return dir.filePath(QStringLiteral("mtype.db")); }
    bool open() { return store.open(dir.path()).ok(); }
};

// Appends sample(0) .. sample(count - 1); false at the first append that fails.
bool appendSamples(RecordStore &store, int count);

} // namespace StoreTest
