#include "datalog/GraphScales.h"

#include <cmath>

namespace GraphScale {

QStringList xLengthEntries(int sliceSeconds)
{
    if (sliceSeconds < 60)
        return {QStringLiteral("5m"), QStringLiteral("10m"), QStringLiteral("20m"), QStringLiteral("30m"),
                QStringLiteral("60m")};
    return {QStringLiteral("1 Hr"), QStringLiteral("3 Hr"), QStringLiteral("6 Hr"), QStringLiteral("12Hr"),
            QStringLiteral("1Day")};
}

XAxis xAxis(const QString &entry)
{
    const QString sec = QStringLiteral("Elapsed Time [Sec]");
    const QString hns = QStringLiteral("h:n:ss");
    if (entry == QLatin1String("5m"))
        return {sec, hns, 5, 300};
    if (entry == QLatin1String("10m"))
        return {sec, hns, 5, 600};
    if (entry == QLatin1String("20m"))
        return {sec, hns, 5, 1200};
    if (entry == QLatin1String("30m"))
        return {sec, hns, 5, 1800};
    if (entry == QLatin1String("60m"))
        return {sec, hns, 6, 3600};
    if (entry == QLatin1String("1 Hr"))
        return {QStringLiteral("Elapsed Time [min]"), QStringLiteral("h:nn"), 6, 3600};
    if (entry == QLatin1String("3 Hr"))
        return {QStringLiteral("Elapsed Time [min]"), QStringLiteral("h:nn"), 6, 3 * 3600};
    if (entry == QLatin1String("6 Hr"))
        return {QStringLiteral("Elapsed Time [Min]"), QStringLiteral("h:nn"), 6, 6 * 3600};
    if (entry == QLatin1String("12Hr"))
        return {QStringLiteral("Elapsed Time [Min]"), QStringLiteral("h:nn"), 6, 12 * 3600};
    if (entry == QLatin1String("1Day"))
        return {QStringLiteral("Elapsed Time [Min]"), QStringLiteral("hh:nn"), 6, 23 * 3600 + 59 * 60};
    return {sec, hns, 5, 300};
}

const QStringList &voltageRanges()
{
    static const QStringList list = [] {
        QStringList l{QStringLiteral("Default"), QStringLiteral("1 V")};
        for (int v = 5; v <= 105; v += 5)
            l << QString::number(v) + QLatin1Char('V');
        return l;
    }();
    return list;
}

const QStringList &currentRanges()
{
    static const QStringList list = [] {
        QStringList l{QStringLiteral("Default"), QStringLiteral("0.1 A")};
        for (int tenths = 5; tenths <= 45; tenths += 5)
            l << QString::number(tenths / 10.0) + QLatin1Char('A');
        for (int a = 5; a <= 50; a += 5)
            l << QString::number(a) + QLatin1Char('A');
        return l;
    }();
    return list;
}

QString elapsedText(qint64 s)
{
    const qint64 days = s / 86400;
    const QString time = QStringLiteral("%1:%2:%3").arg((s / 3600) % 24).arg((s / 60) % 60).arg(s % 60);
    return days > 0 ? QStringLiteral("%1D ").arg(days) + time : time;
}

QString clockText(double seconds)
{
    const qint64 s = std::llround(std::max(0.0, seconds));
    return QStringLiteral("%1:%2:%3")
        .arg((s / 3600) % 24, 2, 10, QLatin1Char('0'))
        .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

std::optional<int> colorValue(const QString &text)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok || v < 0 || v > 0xFFFFFF)
        return std::nullopt;
    return int(v);
}

QColor colorFromValue(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

const std::array<int, 4> &defaultChannelColors()
{
    static const std::array<int, 4> colors{49152, 12582912, 8388736, 65535};
    return colors;
}

QColor drawingColor(const QColor &stored)
{
    // Lightness by the eye's weights; pure yellow is about 226 of 255, green 0x00C000 is 113.
    const int light = (stored.red() * 299 + stored.green() * 587 + stored.blue() * 114) / 1000;
    constexpr int Faint = 190;
    return light > Faint ? stored.darker(100 * light / 120) : stored;
}

QColor colorFromText(const QString &text)
{
    const std::optional<int> v = colorValue(text);
    return v ? colorFromValue(*v) : QColor();
}

} // namespace GraphScale
