#include "cli/Measurement.h"

#include "supply/Supply.h"

#include <QRegularExpression>
#include <cmath>


namespace Measurement {

namespace {

// The reading's text with a decimal point whatever the locale, or nothing when blank.
std::optional<double> valueOf(const Supply::Reading &r, QString *text)
{
    *text = r.text.trimmed();
    text->replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = text->toDouble(&ok);
    if (!ok || !std::isfinite(v)) {
        text->clear();
        return std::nullopt;
    }
    // The supply's digits where they are a plain decimal number, so CSV and JSON keep them.
    static const QRegularExpression plain(QStringLiteral("^-?\\d+(\\.\\d+)?$"));
    if (!plain.match(*text).hasMatch())
        *text = QString::number(v, 'g', 10);
    return v;
}

QString timeText(const QDateTime &t)
{
    return t.toString(Qt::ISODateWithMs);
}

QString watts(const ChannelValues &c)
{
    if (!c.volts || !c.amps)
        return QString();
    return QString::number(*c.volts * *c.amps, 'f', 4);
}

} // namespace

Sample take(const Supply &supply, const QList<int> &channels, const QDateTime &time)
{
    Sample s{time, {}};
    for (int c : channels) {
        const Supply::Channel &ch = supply.channel(c - 1);
        ChannelValues v;
        v.channel = c;
        v.volts = valueOf(ch.voltageReading, &v.voltsText);
        v.amps = valueOf(ch.currentReading, &v.ampsText);
        s.channels << v;
    }
    return s;
}

QString csvHeader(const QList<int> &channels)
{
    QStringList fields{QStringLiteral("time")};
    for (int c : channels)
        fields << QStringLiteral("ch%1.voltage").arg(c) << QStringLiteral("ch%1.current").arg(c)
               << QStringLiteral("ch%1.power").arg(c);
    return fields.join(QLatin1Char(','));
}

QString csvLine(const Sample &sample)
{
    QStringList fields{timeText(sample.time)};
    for (const ChannelValues &c : sample.channels)
        fields << c.voltsText << c.ampsText << watts(c);
    return fields.join(QLatin1Char(','));
}

QString jsonLine(const Sample &sample)
{
    // Written by hand so the time comes first; the values are the supply's own digits.
    const auto number = [](const QString &text) { return text.isEmpty() ? QStringLiteral("null") : text; };
    QString line = QStringLiteral("{\"time\":\"%1\"").arg(timeText(sample.time));
    for (const ChannelValues &c : sample.channels)
        line += QStringLiteral(",\"ch%1\":{\"voltage\":%2,\"current\":%3,\"power\":%4}")
                    .arg(c.channel)
                    .arg(number(c.voltsText), number(c.ampsText), number(watts(c)));
    return line + QLatin1Char('}');
}

} // namespace Measurement
