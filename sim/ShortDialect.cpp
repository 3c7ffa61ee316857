#include "sim/Interpreters.h"
#include "sim/VirtualSupply.h"

#include <QRegularExpression>

namespace sim {

QString withUnit(double value, QChar unit)
{
    return QString::number(value, 'f', 3) + unit;
}

QString plainNumber(double value)
{
    return QString::number(value, 'f', 3);
}

namespace {

// Eight characters: 1 and 2 constant voltage (1) or constant current (0) of channels 1 and
// 2, 3 and 4 the coupling ("01" independent, "11" tracking, "10" parallel), 5 the beeper
// (always on), 6 the output, 7 and 8 unused (0).
QString statusWord(const VirtualSupply &s)
{
    QString w;
    for (int c = 1; c <= 2; ++c)
        w += s.reading(c).constantCurrent ? QLatin1Char('0') : QLatin1Char('1');
    switch (s.coupling()) {
    case Coupling::Independent: w += QLatin1String("01"); break;
    case Coupling::Tracking: w += QLatin1String("11"); break;
    case Coupling::Parallel: w += QLatin1String("10"); break;
    }
    w += QLatin1Char('1');
    w += s.outputOn() ? QLatin1Char('1') : QLatin1Char('0');
    w += QLatin1String("00");
    return w;
}

std::optional<QString> channelQuery(VirtualSupply &s, const QString &what, int channel)
{
    if (channel < 1 || channel > s.channelCount())
        return std::nullopt;
    if (what == QLatin1String("VSET"))
        return withUnit(s.voltageSetpoint(channel), QLatin1Char('V'));
    if (what == QLatin1String("ISET"))
        return withUnit(s.currentSetpoint(channel), QLatin1Char('A'));
    if (what == QLatin1String("VOUT"))
        return withUnit(s.measure(channel).volts, QLatin1Char('V'));
    return withUnit(s.measure(channel).amps, QLatin1Char('A'));
}

} // namespace

std::optional<QString> interpretShort(VirtualSupply &s, const QString &line)
{
    static const QRegularExpression setRe(QStringLiteral("^(VSET|ISET)(\\d):(.+)$"));
    static const QRegularExpression queryRe(QStringLiteral("^(VSET|ISET|VOUT|IOUT)(\\d)\\?$"));
    static const QRegularExpression simpleRe(QStringLiteral("^(OUT|TRACK|SAV|RCL)(\\d)$"));

    const QString up = line.toUpper();
    if (up == QLatin1String("*IDN?"))
        return s.model().idn;
    if (up == QLatin1String("STATUS?"))
        return statusWord(s);
    if (up == QLatin1String("REMOTE")) {
        s.setRemote();
        return std::nullopt;
    }
    if (const auto m = queryRe.match(up); m.hasMatch())
        return channelQuery(s, m.captured(1), m.captured(2).toInt());
    if (const auto m = setRe.match(up); m.hasMatch()) {
        bool ok = false;
        const double v = m.captured(3).trimmed().toDouble(&ok);
        if (ok) {
            const int channel = m.captured(2).toInt();
            if (m.captured(1) == QLatin1String("VSET"))
                s.setVoltage(channel, v);
            else
                s.setCurrent(channel, v);
        }
        return std::nullopt;
    }
    if (const auto m = simpleRe.match(up); m.hasMatch()) {
        const QString what = m.captured(1);
        const int n = m.captured(2).toInt();
        if (what == QLatin1String("OUT") && n <= 1)
            s.setOutput(n == 1);
        else if (what == QLatin1String("TRACK"))
            s.setCoupling(n);
        else if (what == QLatin1String("SAV"))
            s.saveMemory(n);
        else if (what == QLatin1String("RCL"))
            s.recallMemory(n);
        return std::nullopt;
    }
    interpretSharedScpi(s, line);
    return std::nullopt;
}

} // namespace sim
