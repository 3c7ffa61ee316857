// Pictures of the table window in the main window (layout 1, testing mode without a supply):
// during a recording, and after loading the saved record with a comment and a highlighted
// row; the comment editor and the record setup dialog. table_screenshot [folder] (default
// /tmp): table_recording.png, table_list.png, table_loaded.png, table_comment.png,
// record_setup.png.
#include "MainwinRig.h"

#include "common/Clock.h"
#include "datalog/RecordingSession.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>

#include <cmath>
#include <cstdio>

namespace {

bool save(QWidget &w, const QString &path)
{
    QCoreApplication::processEvents();
    if (w.grab().save(path))
        return true;
    std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
    TestEnvironment::isolateUserFolders();
    InstalledPrompter prompter;
    auto w = makeWindow(true);
    w->Setup(QStringLiteral("Menu"), QStringLiteral("XPP-3202"), false);
    QElapsedTimer t;
    t.start();
    while (!w->tableDataForm1() && t.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!w->tableDataForm1())
        return 2;
    w->DoOutput(true);
    frmDataTable &table = *w->tableDataForm1();
    // The main window fits its panel first; the table then takes the client area.
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    w->menuItem(QStringLiteral("mnuTableData"))->trigger();

    FakeClock clock(QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)));
    ScopedClock scoped(clock);
    w->session().RecordPeriod(0, 0, 1, 0, 0, 0);
    w->session().BeginRecordData();
    FrontPanel *panel = w->OperatorForm();
    for (int i = 0; i < 40; ++i) {
        for (int c = 0; c < 3; ++c) {
            panel->findChild<QLineEdit *>(QStringLiteral("txtVoltage_%1").arg(c))
                ->setText(QString::number(5 * (c + 1) + 0.02 * std::sin(i * 0.7), 'f', 3));
            panel->findChild<QLineEdit *>(QStringLiteral("txtCurrent_%1").arg(c))
                ->setText(QString::number(0.5 + 0.1 * c + 0.004 * i, 'f', 3));
        }
        clock.advanceMs(1000);
        w->session().engine().TimerRecordData_Timer();
        QCoreApplication::processEvents();
    }
    if (!save(*w, folder + QStringLiteral("/table_recording.png")))
        return 1;

    w->session().EndRecordData();
    table.findChild<QLineEdit *>(QStringLiteral("txtDataDesc"))->setText(QStringLiteral("oven warm-up"));
    table.openComment(12);
    table.findChild<QLineEdit *>(QStringLiteral("txtDataComment"))->setText(QStringLiteral("door opened"));
    table.cmdProcOK_Click();
    prompter.answers = {true, true};
    table.cmdSave_Click();
    table.cmdClear_Click();
    table.cmdLoadRecord_Click();
    if (!save(*w, folder + QStringLiteral("/table_list.png")))
        return 1;
    table.List1_Click(0);
    table.RowSelected(10);
    if (!save(*w, folder + QStringLiteral("/table_loaded.png")))
        return 1;
    // The record setup dialog as the Record menu shows it.
    bool saved = false;
    onNextDialog(QStringLiteral("dlgRecordLength"), [&](QDialog *d) {
        saved = save(*d, folder + QStringLiteral("/record_setup.png"));
        pressButton(d, QStringLiteral("CancelButton"));
    });
    w->menuItem(QStringLiteral("mnuRecordPeriod"))->trigger();
    if (!saved)
        return 1;
    table.openComment(5);
    if (!save(*w, folder + QStringLiteral("/table_comment.png")))
        return 1;
    for (const QString &m : prompter.messageTexts())
        std::fprintf(stderr, "message: %s\n", qPrintable(m));
    return 0;
}
