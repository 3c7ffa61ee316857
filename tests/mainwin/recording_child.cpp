// Child process of the recovery test: the main window with layout 1 in the testing mode
// without a supply, recording one sample per tick as fast as it can on a fake clock. Prints
// each sample's number once its tick has returned, until it is killed.
#include "MainwinRig.h"

#include "common/Clock.h"
#include "datalog/RecordingSession.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    auto w = makeWindow(true);
    w->Setup(QStringLiteral("Menu"), QStringLiteral("XPP-3202"), false);
    QElapsedTimer t;
    t.start();
    while (!(w->MainFormState() == 3 && w->tableDataForm1()) && t.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!w->tableDataForm1()) {
        std::fprintf(stderr, "recording_child: no table window after 20 s\n");
        return 3;
    }
    w->DoOutput(true);
    FakeClock clock;
    ScopedClock scoped(clock);
    RecordingSession &session = w->session();
    session.RecordPeriod(0, 0, 0, 50000, 0, 0);
    if (!session.BeginRecordData()) {
        std::fprintf(stderr, "recording_child: the recording was refused\n");
        return 4;
    }
    // Bounded, so that a child whose parent vanished still ends.
    for (qint64 i = 0; i < 50000; ++i) {
        clock.advanceMs(1000);
        session.engine().TimerRecordData_Timer();
        std::printf("%lld\n", static_cast<long long>(session.engine().iCurrentRow() - 1));
        std::fflush(stdout);
    }
    return 0;
}
