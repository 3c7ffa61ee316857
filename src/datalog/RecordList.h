#pragma once

#include "datalog/RecordTypes.h"

#include <QString>

// The lines of the saved-record lists and the scale positions a record keeps as text. What a
// record holds comes from a store that may be damaged or hand-edited, so any text gives a
// sound result.
namespace RecordList {

// The table window's line: number (6 wide), start time (14), a blank, description (25), then
// the bench when known. A longer number is shown whole rather than cut.
QString tableLine(const RecordInfo &record);
// The graph window's line: number (6), start time (22), a blank, end time (25), then the bench.
QString graphLine(const RecordInfo &record);

// A stored scale position (RecStyle, ShowStyle): the whole number the text starts with, or -1
// when there is none or it is not a small one.
int position(const QString &styleText);

} // namespace RecordList
