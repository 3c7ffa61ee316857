#pragma once

#include <QList>
#include <QString>

// What `zepctl run` prints at its end: the record's number, the duration and, per channel,
// the energy and charge of the recorded samples.
namespace RunSummary {

struct Totals {
    QString record;  // empty when nothing was saved
    double seconds = 0;
    struct Channel {
        int channel = 0;
        double wattHours = 0, ampHours = 0;
    };
    QList<Channel> channels;
};

// NAME=VALUE lines, or one JSON object.
QString text(const Totals &totals);
QString json(const Totals &totals);

} // namespace RunSummary
