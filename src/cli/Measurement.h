#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

class Supply;

// One line of `zepctl measure`: the time and, per channel, volts, amps and watts as the
// supply last reported them (nothing where it reported nothing).
namespace Measurement {

struct ChannelValues {
    int channel = 0;
    std::optional<double> volts, amps;
    QString voltsText, ampsText;  // as received, with a decimal point
};

struct Sample {
    QDateTime time;
    QList<ChannelValues> channels;
};

Sample take(const Supply &supply, const QList<int> &channels, const QDateTime &time);
QString csvHeader(const QList<int> &channels);
QString csvLine(const Sample &sample);
QString jsonLine(const Sample &sample);

} // namespace Measurement
