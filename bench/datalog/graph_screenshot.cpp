// Pictures of the graph window: a recording being followed live, and the cursors in
// measurement mode. Run under a display: graph_screenshot DIR
#include "GraphBenchSupport.h"

#include "datalog/RecordStore.h"
#include "datalog/RecordingSession.h"
#include "datalog/frmGraphicRecord.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTemporaryDir dir;
    RecordStore store;
    if (!store.open(dir.path()).ok())
        return 1;
    NoSupply source;
    RecordingSession session(store, nullptr, source);
    session.setChannelCount(3);
    SampleBuffer &buffer = session.buffer();
    LoneGraphHost host;
    frmGraphicRecord g(session, host, 3);
    g.resize(1260, 760);
    g.show();
    g.ClearGraph(1);
    auto *start = g.findChild<QPushButton *>(QStringLiteral("cmdStart"));
    start->setText(QStringLiteral("Record..."));
    g.findChild<QComboBox *>(QStringLiteral("cmbYVoltage"))->setCurrentText(QStringLiteral("15V"));
    g.findChild<QComboBox *>(QStringLiteral("cmbYCurrent"))->setCurrentText(QStringLiteral("1A"));
    for (int i = 0; i < 200; ++i) {
        buffer.append(graphSample(i));
    }
    QCoreApplication::processEvents();
    g.grab().save(out + QStringLiteral("/graph_recording.png"));

    start->setText(QStringLiteral("Start"));
    g.GraphMode_Change(frmGraphicRecord::CursorMeasurements);
    g.moveCursor(1, 60);
    g.moveCursor(frmGraphicRecord::MeasureCursor, 150);
    QCoreApplication::processEvents();
    g.grab().save(out + QStringLiteral("/graph_measurement.png"));

    // The power traces of the three channels on their own axis, and their statistics.
    for (int c = 0; c < 3; ++c)
        g.findChild<QCheckBox *>(QStringLiteral("cbPower_%1").arg(c))->setChecked(true);
    QCoreApplication::processEvents();
    g.grab().save(out + QStringLiteral("/graph_power.png"));
    return 0;
}
