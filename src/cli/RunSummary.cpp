#include "cli/RunSummary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace RunSummary {

namespace {

QString number(double v)
{
    return QString::number(v, 'f', 6);
}

} // namespace

QString text(const Totals &t)
{
    QString out = QStringLiteral("record=%1\nduration.s=%2\n").arg(t.record, QString::number(t.seconds, 'f', 1));
    for (const Totals::Channel &c : t.channels)
        out += QStringLiteral("ch%1.energy.wh=%2\nch%1.charge.ah=%3\n").arg(c.channel).arg(number(c.wattHours), number(c.ampHours));
    return out;
}

QString json(const Totals &t)
{
    QJsonArray channels;
    for (const Totals::Channel &c : t.channels)
        channels.append(QJsonObject{{QStringLiteral("channel"), c.channel},
                                    {QStringLiteral("energy_wh"), c.wattHours},
                                    {QStringLiteral("charge_ah"), c.ampHours}});
    const QJsonObject o{{QStringLiteral("record"), t.record.isEmpty() ? QJsonValue() : QJsonValue(t.record)},
                        {QStringLiteral("duration_s"), t.seconds},
                        {QStringLiteral("channels"), channels}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) + QLatin1Char('\n');
}

} // namespace RunSummary
