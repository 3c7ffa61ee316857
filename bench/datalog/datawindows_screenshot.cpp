// Pictures and printouts of the data windows in the main window (layout 4, four channels,
// testing mode without a supply) after a recording saved as a record: the graph in each of
// its modes, the table, and both printed to PDF on landscape pages.
// Run under a 1280x800 display: xvfb-run -a -s "-screen 0 1280x800x24" datawindows_screenshot DIR
// Writes graph_zoom.png, graph_pan.png, graph_coordinates.png, graph_measurement.png,
// table.png, graph.pdf and table.pdf.
#include "MainwinRig.h"

#include "datalog/RecordStore.h"
#include "datalog/RecordingSession.h"
#include "datalog/frmDataTable.h"
#include "datalog/frmGraphicRecord.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDateTime>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPdfWriter>
#include <QScreen>

#include <cmath>
#include <cstdio>

namespace {

void settle()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(QWidget &w, const QString &path)
{
    settle();
    if (w.grab().save(path))
        return true;
    std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
    return false;
}

template<class Window>
bool printPdf(Window &window, const QString &path)
{
    QPdfWriter pdf(path);
    pdf.setPageOrientation(QPageLayout::Landscape);
    return window.printTo(pdf);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
    TestEnvironment::isolateUserFolders();
    InstalledPrompter prompter;
    auto w = makeWindow(true);
    // In the screen's corner: without a window manager the frame is taken from the position.
    w->move(0, 0);
    w->Setup(QStringLiteral("Menu"), QStringLiteral("ZEP-4303"), false);
    QElapsedTimer t;
    t.start();
    while (!w->tableDataForm1() && t.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!w->tableDataForm1() || !w->waveForm1())
        return 2;
    settle();

    // Two hundred samples of a slow discharge, one a second, as a recording leaves them.
    RecordStore &store = w->session().store();
    store.clearBuffer();
    const QDateTime start(QDate(2026, 3, 5), QTime(14, 7, 9));
    for (int i = 0; i < 200; ++i) {
        SampleRow row;
        row.seqNo = i;
        row.recTime = start.addSecs(i).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        for (int c = 0; c < 4; ++c) {
            row.channels[size_t(c)] = {
                QString::number(3 * (c + 1) + 0.8 * std::sin(i / (15.0 + 5 * c)) - 0.004 * i, 'f', 3),
                QString::number(0.4 + 0.15 * c + 0.1 * std::cos(i / 20.0), 'f', 3), QStringLiteral("0")};
        }
        row.timeTick = i;
        store.appendSample(row);
    }
    w->session().reload();
    frmDataTable &table = *w->tableDataForm1();
    table.findChild<QLineEdit *>(QStringLiteral("txtDataDesc"))->setText(QStringLiteral("battery discharge"));
    prompter.answers = {true};
    table.cmdSave_Click();

    w->menuItem(QStringLiteral("mnuWave"))->trigger();
    frmGraphicRecord &g = *w->waveForm1();
    g.findChild<QComboBox *>(QStringLiteral("cmbYVoltage"))->setCurrentText(QStringLiteral("15V"));
    g.findChild<QComboBox *>(QStringLiteral("cmbYCurrent"))->setCurrentText(QStringLiteral("1A"));
    const char *names[] = {"zoom", "pan", "coordinates", "measurement"};
    for (int mode = frmGraphicRecord::Zoom; mode <= frmGraphicRecord::CursorMeasurements; ++mode) {
        g.GraphMode_Change(mode);
        if (mode == frmGraphicRecord::CursorMeasurements) {
            g.moveCursor(1, 60);
            g.moveCursor(frmGraphicRecord::MeasureCursor, 150);
        }
        if (!save(*w, folder + QStringLiteral("/graph_%1.png").arg(QLatin1String(names[mode]))))
            return 1;
    }
    if (!printPdf(g, folder + QStringLiteral("/graph.pdf")))
        return 1;
    w->menuItem(QStringLiteral("mnuTableData"))->trigger();
    if (!save(*w, folder + QStringLiteral("/table.png")) || !printPdf(table, folder + QStringLiteral("/table.pdf")))
        return 1;
    std::printf("main window %dx%d with the graph; screen %dx%d\n", w->width(), w->height(),
                w->screen()->availableGeometry().width(), w->screen()->availableGeometry().height());
    for (const QString &m : prompter.messageTexts())
        std::fprintf(stderr, "message: %s\n", qPrintable(m));
    return 0;
}
