#pragma once

#include "datalog/RecordingInterfaces.h"
#include "datalog/SampleBuffer.h"

#include <cmath>

// A graph window's host with no main window behind it.
class LoneGraphHost : public GraphHost
{
public:
    bool recordMenuEnabled() const override { return false; }
    void mnuRecordStart_Click() override {}
    void mnuRecordStop_Click() override {}
    void mnuRecordPeriod_Click() override {}
    void mnuControl_Click() override {}
    int recordScale() const override { return 0; }
    void setRecordScale(int) override {}
};

// No supply behind a lone graph window.
class NoSupply : public ReadingSource
{
public:
    bool isRunning() const override { return false; }
    bool isOutputOn() const override { return false; }
    QString machineType() const override { return QString(); }
    QString voltageText(int) const override { return QString(); }
    QString currentText(int) const override { return QString(); }
    double voltageMaximum(int) const override { return 0; }
    double currentMaximum(int) const override { return 0; }
};

// Sample `seq` of a four-channel recording whose readings wander slowly.
inline SampleRow graphSample(qint64 seq)
{
    SampleRow row;
    row.seqNo = seq;
    row.recTime = QStringLiteral("2026/03/05 %1:%2:%3")
                      .arg(seq / 3600 % 24, 2, 10, QLatin1Char('0'))
                      .arg(seq / 60 % 60, 2, 10, QLatin1Char('0'))
                      .arg(seq % 60, 2, 10, QLatin1Char('0'));
    for (int c = 0; c < 4; ++c) {
        const double t = double(seq) / (60.0 * (c + 1));
        row.channels[size_t(c)] = {QString::number(4 * (c + 1) + std::sin(t), 'f', 3),
                                   QString::number(0.5 + 0.4 * std::cos(t / 2) * (c + 1) / 4, 'f', 3),
                                   QStringLiteral("0")};
    }
    row.timeTick = seq;
    return row;
}
