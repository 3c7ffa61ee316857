#include "cli/SupplyValues.h"

#include "common/NumberFormat.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>

namespace SupplyValues {

namespace {

struct SetPointName {
    const char *word;
    Supply::SetPoint which;
};
const SetPointName SetPointNames[] = {{"voltage", Supply::SetPoint::Voltage},
                                      {"current", Supply::SetPoint::Current},
                                      {"ovp", Supply::SetPoint::Ovp}};

const Supply::Limits &limitsOf(const Supply::Channel &c, Supply::SetPoint which)
{
    return which == Supply::SetPoint::Voltage ? c.voltageLimits
        : which == Supply::SetPoint::Current  ? c.currentLimits
                                              : c.ovpLimits;
}

double setPointOf(const Supply::Channel &c, Supply::SetPoint which)
{
    return which == Supply::SetPoint::Voltage ? c.voltage : which == Supply::SetPoint::Current ? c.current : c.ovpLevel;
}

QString number(double v)
{
    return NumberFormat::format(v, QStringLiteral("###0.000"), QLocale::c());
}

QString modeName(Commands::Coupling mode)
{
    switch (mode) {
    case Commands::CouplingTrack:
        return QStringLiteral("track");
    case Commands::CouplingParallel:
        return QStringLiteral("parallel");
    default:
        return QStringLiteral("independent");
    }
}

std::optional<bool> onOff(const QString &v)
{
    const QString t = v.trimmed().toLower();
    if (t == QLatin1String("on") || t == QLatin1String("1") || t == QLatin1String("true"))
        return true;
    if (t == QLatin1String("off") || t == QLatin1String("0") || t == QLatin1String("false"))
        return false;
    return std::nullopt;
}

// chN.word: the channel index and the word, or nothing.
std::optional<std::pair<int, QString>> channelName(const Supply &supply, const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^ch([1-4])\\.([a-z]+)$"));
    const QRegularExpressionMatch m = pattern.match(name);
    if (!m.hasMatch() || m.captured(1).toInt() > supply.channelCount())
        return std::nullopt;
    return std::pair{m.captured(1).toInt() - 1, m.captured(2)};
}

} // namespace

QStringList names(const Supply &supply)
{
    QStringList out;
    for (int c = 1; c <= supply.channelCount(); ++c)
        for (const char *word : {"voltage", "current", "ovp", "ocp"})
            out << QStringLiteral("ch%1.%2").arg(c).arg(QLatin1String(word));
    out << QStringLiteral("output") << QStringLiteral("mode");
    return out;
}

std::variant<Assignment, QString> parse(const Supply &supply, const QString &text)
{
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return QStringLiteral("%1: expected NAME=VALUE").arg(text);
    Assignment a;
    a.name = text.left(eq).trimmed().toLower();
    const QString v = text.mid(eq + 1).trimmed();
    const auto badValue = [&] { return QStringLiteral("%1: %2 is no value for %1").arg(a.name, v); };
    if (a.name == QLatin1String("output")) {
        const auto on = onOff(v);
        if (!on)
            return badValue();
        a.kind = Assignment::Kind::Output;
        a.on = *on;
        return a;
    }
    if (a.name == QLatin1String("mode")) {
        const QString m = v.toLower();
        a.kind = Assignment::Kind::Mode;
        if (m == QLatin1String("independent"))
            a.mode = Commands::CouplingIndependent;
        else if (m == QLatin1String("track") || m == QLatin1String("series"))
            a.mode = Commands::CouplingTrack;
        else if (m == QLatin1String("parallel"))
            a.mode = Commands::CouplingParallel;
        else
            return badValue();
        return a;
    }
    const auto channel = channelName(supply, a.name);
    if (!channel)
        return QStringLiteral("%1: no such value on this supply (%2)").arg(a.name, names(supply).join(QLatin1Char(' ')));
    a.index = channel->first;
    if (channel->second == QLatin1String("ocp")) {
        const auto on = onOff(v);
        if (!on)
            return badValue();
        a.kind = Assignment::Kind::Ocp;
        a.on = *on;
        return a;
    }
    for (const SetPointName &n : SetPointNames) {
        if (channel->second != QLatin1String(n.word))
            continue;
        bool ok = false;
        a.number = v.toDouble(&ok);
        if (!ok || !(a.number >= 0))
            return badValue();
        a.kind = Assignment::Kind::SetPoint;
        a.setPoint = n.which;
        const Supply::Limits &limits = limitsOf(supply.channel(a.index), n.which);
        if (limits.maximum > 0 && a.number > limits.maximum)
            return Supply::aboveMaximumText(a.index, n.which,
                                    NumberFormat::format(limits.maximum, QStringLiteral("###0.###"), QLocale::c()));
        return a;
    }
    return QStringLiteral("%1: no such value on this supply (%2)").arg(a.name, names(supply).join(QLatin1Char(' ')));
}

void apply(Supply &supply, const Assignment &a)
{
    switch (a.kind) {
    case Assignment::Kind::SetPoint:
        supply.setSetPoint(a.index, a.setPoint, a.number);
        break;
    case Assignment::Kind::Ocp:
        supply.setOcp(a.index, a.on);
        break;
    case Assignment::Kind::Output:
        supply.setOutput(a.on);
        break;
    case Assignment::Kind::Mode:
        supply.setCoupling(a.mode);
        break;
    }
}

void applyInOrder(Supply &supply, QList<Assignment> assignments)
{
    using Kind = Assignment::Kind;
    std::stable_sort(assignments.begin(), assignments.end(), [](const auto &a, const auto &b) {
        const auto rank = [](Kind k) { return k == Kind::Mode ? 0 : k == Kind::Output ? 2 : 1; };
        return rank(a.kind) < rank(b.kind);
    });
    for (const Assignment &a : assignments)
        apply(supply, a);
}

std::optional<QString> value(const Supply &supply, const QString &name)
{
    if (name == QLatin1String("output"))
        return supply.outputOn() ? QStringLiteral("on") : QStringLiteral("off");
    if (name == QLatin1String("mode"))
        return modeName(supply.coupling());
    const auto channel = channelName(supply, name);
    if (!channel)
        return std::nullopt;
    const Supply::Channel &c = supply.channel(channel->first);
    if (channel->second == QLatin1String("ocp"))
        return c.ocp ? QStringLiteral("on") : QStringLiteral("off");
    for (const SetPointName &n : SetPointNames)
        if (channel->second == QLatin1String(n.word))
            return number(setPointOf(c, n.which));
    return std::nullopt;
}

} // namespace SupplyValues
