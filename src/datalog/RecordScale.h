#pragma once

#include <QStringList>

#include <array>

// The sampling scale of a recording: the positions of the record setup's "Scale" list, and
// the one table of seconds per recorded point that the recording engine, the record setup's
// length check and the graph share.
namespace RecordScale {

inline constexpr int Positions = 10;
inline constexpr std::array<int, Positions> SecondsPerPoint{1, 2, 5, 10, 30, 60, 300, 600, 1800, 3600};

// Seconds per point of `position`; positions outside 0..9 count as 0 (one point a second).
inline int secondsPerPoint(int position)
{
    return position >= 0 && position < Positions ? SecondsPerPoint[position] : 1;
}

// A recording holds at most about this many points: the record setup lets it last whole days
// only as far as they fit, and at most 7 days and 23:59:59.
inline constexpr double MaxPoints = 32000;
inline constexpr int MaxDays = 7;

// The whole days a recording at scale `position` may last.
inline int daysAllowed(int position)
{
    const int days = int(MaxPoints * secondsPerPoint(position) / 86400.0);
    return days < MaxDays ? days : MaxDays;
}

// "1 second", "2 seconds", ... "1 Hour": the list texts, by position.
const QStringList &captions();

// Point operations of an interval (the record setup's "Point Operation" list).
enum PointOperation { Maximum = 0, Minimum = 1, Average = 2 };
const QStringList &pointOperationCaptions();

} // namespace RecordScale
