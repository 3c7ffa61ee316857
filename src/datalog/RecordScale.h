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

// "1 second", "2 seconds", ... "1 Hour": the list texts, by position.
const QStringList &captions();

// Point operations of an interval (the record setup's "Point Operation" list).
enum PointOperation { Maximum = 0, Minimum = 1, Average = 2 };
const QStringList &pointOperationCaptions();

} // namespace RecordScale
