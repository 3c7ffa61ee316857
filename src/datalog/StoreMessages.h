#pragma once

#include "datalog/RecordTypes.h"

#include <QString>

// What a window tells the user about a failed store operation: `prefix` + "System Error caused
// by " + number + ":" + description, or, when the lab server could not be reached, that
// alone in plain words.
QString storeFailureText(const QString &prefix, const StoreError &error);
