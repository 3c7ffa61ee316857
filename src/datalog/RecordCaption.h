#pragma once

#include <QString>

struct RecordInfo;

// What a data window shows, in words, for its caption and its printouts.
namespace RecordCaption {

// "Record 12: Battery test", "Record 12"; "Recording…" while a recording runs; "Record not
// saved" for samples saved nowhere; empty when there are no samples.
QString shown(const RecordInfo &record, bool recording, bool hasSamples);
// "Start: 2026/03/05 10:00:00   End: 2026/03/05 10:03:20"; empty without a start.
QString times(const RecordInfo &record);
// A printout's title: the supply type (when known) and what is shown.
QString title(const QString &machineType, const QString &shown);

} // namespace RecordCaption
