#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The graph window's fixed choices: the time-length list by slice and the X axis each entry
// sets, the Y-range lists, and the texts of elapsed times.
namespace GraphScale {

// The X axis an entry of the time-length list sets; `format` uses h/hh hours, n/nn minutes,
// ss seconds.
struct XAxis {
    QString caption;
    QString format;
    int divisions = 5;
    int seconds = 300;  // the range is 0 .. seconds
};

// "5m".."60m" below a slice of 60 s, "1 Hr".."1Day" from 60 s on.
QStringList xLengthEntries(int sliceSeconds);
XAxis xAxis(const QString &entry);

// "Default", "1 V", "5V" .. "105V"; "Default", "0.1 A", "0.5A" .. "4.5A", "5A" .. "50A".
const QStringList &voltageRanges();
const QStringList &currentRanges();

// 3661 s: "1:1:1"; 90061 s: "1D 1:1:1".
QString elapsedText(qint64 seconds);
// "HH:MM:SS", the hours restarting at 0 after 24.
QString clockText(double seconds);
// A colour given as the decimal text of 0x00BBGGRR; invalid when blank or not a number.
QColor colorFromText(const QString &text);
// The same as the stored number 0..0xFFFFFF (red in the low byte); nullopt for anything else.
std::optional<int> colorValue(const QString &text);
QColor colorFromValue(int value);
// The channel colours with nothing stored (0x00BBGGRR): green, blue, purple, yellow. The
// record setup shows them and the graph draws with them.
const std::array<int, 4> &defaultChannelColors();
// `stored` as traces and legends draw it: a colour too light to see on white (yellow) is
// darkened; the stored value stays as chosen.
QColor drawingColor(const QColor &stored);

} // namespace GraphScale
