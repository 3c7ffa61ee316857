// Pictures of the graph window: a recording being followed live, and the cursors in
// measurement mode. Run under a display: graph_screenshot DIR
#include "GraphBenchSupport.h"

#include "datalog/RecordStore.h"
#include "datalog/frmGraphicRecord.h"

#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTemporaryDir dir;
    RecordStore store;
    if (!store.open(dir.path()).ok())
        return 1;
    SampleBuffer buffer;
    buffer.setChannelCount(3);
    LoneGraphHost host;
    frmGraphicRecord g(buffer, store, host, 3);
    g.resize(1260, 760);
    g.show();
    g.ClearGraph(1);
    g.setStartCaption(QStringLiteral("Record..."));
    g.findChild<QComboBox *>(QStringLiteral("cmbYVoltage"))->setCurrentText(QStringLiteral("15V"));
    g.findChild<QComboBox *>(QStringLiteral("cmbYCurrent"))->setCurrentText(QStringLiteral("1A"));
    for (int i = 0; i < 200; ++i) {
        buffer.append(graphSample(i));
        g.ShowGraph(buffer.size() - 1);
    }
    QCoreApplication::processEvents();
    g.grab().save(out + QStringLiteral("/graph_recording.png"));

    g.setStartCaption(QStringLiteral("Start"));
    g.GraphMode_Change(frmGraphicRecord::CursorMeasurements);
    g.moveCursor(1, 60);
    g.moveCursor(frmGraphicRecord::MeasureCursor, 150);
    QCoreApplication::processEvents();
    g.grab().save(out + QStringLiteral("/graph_measurement.png"));
    return 0;
}
