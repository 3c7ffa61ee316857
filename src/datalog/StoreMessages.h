#pragma once

#include "datalog/RecordTypes.h"

#include <QString>

// What a window tells the user about a failed store operation: `prefix` + "System Error caused
// by " + number + ":" + description; `prefix` + the cause when the disk or the folder is to
// blame; or, when the lab server could not be reached, that alone in plain words.
QString storeFailureText(const QString &prefix, const StoreError &error);

namespace StoreRepair {
struct Salvage;
}

// What the user is told after the store `file` was found damaged and rebuilt, its damaged
// file kept as `backup`: how many samples were recovered, of how many when the damaged file
// could still count them, and plainly when none were.
QString storeRepairedText(const QString &file, const QString &backup, const StoreRepair::Salvage &salvage);

// The reason of a failed system call, as the system words it ("Permission denied").
QString systemReason(int error);

// Why writing the record database `file` in `folder` failed, in words, when the disk or the
// folder is the cause: no space left on the disk, or no permission to write the folder (or
// the file). Empty when neither is. `error` is the database's error (SQLite's code and words).
QString diskProblem(const StoreError &error, const QString &folder, const QString &file);
