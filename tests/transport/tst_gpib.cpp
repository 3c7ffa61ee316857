// GPIB boards: the virtual bus's board, delivering its events asynchronously after the call
// that started them, and the linux-gpib board on a machine without the library.
#include "link/transport/LinuxGpibBoard.h"
#include "sim/VirtualGpibBus.h"
#include "sim/VirtualSupply.h"
#include "support/TestEnvironment.h"

#include <QTest>

namespace {

// Records a board's events in order, as "writeComplete", "dataRead:<text>", "error:<text>".
struct EventLog {
    explicit EventLog(GpibBoard &board)
    {
        QObject::connect(&board, &GpibBoard::writeComplete, [this] { events << QStringLiteral("writeComplete"); });
        QObject::connect(&board, &GpibBoard::dataRead, [this](const QString &d) { events << QStringLiteral("dataRead:") + d; });
        QObject::connect(&board, &GpibBoard::error, [this](const QString &e) { events << QStringLiteral("error:") + e; });
    }
    bool waitFor(int count) { return QTest::qWaitFor([&] { return events.size() >= count; }, 3000); }
    // Writes `line`, starts the read once the write is done (the engine's order) and returns
    // the events that follow.
    QStringList exchange(GpibBoard &board, const QString &line)
    {
        const int before = int(events.size());
        board.write(line);
        if (waitFor(before + 1) && events.last() == QLatin1String("writeComplete")) {
            board.read();
            waitFor(before + 2);
        }
        return events.mid(before);
    }
    QStringList events;
};

} // namespace

class TstGpib : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }
    void cleanup() { sim::VirtualGpibBus::instance().clear(); }

    void virtualBoardSequence()
    {
        std::shared_ptr<sim::VirtualSupply> supply = sim::VirtualSupply::create(QStringLiteral("XPP-3202"));
        sim::VirtualGpibBus::instance().attach(0, 3, supply);
        sim::VirtualGpibBoard board;
        EventLog log(board);
        board.setBoard(0);
        board.setPrimaryAddress(3);
        QVERIFY(board.configure());
        QVERIFY(board.write(QStringLiteral("*IDN?")));
        QCOMPARE(log.events, QStringList());  // nothing from inside the call
        QVERIFY(log.waitFor(1));
        board.read();
        QCOMPARE(log.events, QStringList(QStringLiteral("writeComplete")));
        QVERIFY(log.waitFor(2));
        QCOMPARE(log.events.last(), QStringLiteral("dataRead:ZENVOLT,XPP-3202,SN00002,V2.01\n"));
        QCOMPARE(supply->receivedLines(), QStringList(QStringLiteral("*IDN?")));  // no terminator

        // A command is written and completes; the supply took it.
        QVERIFY(board.write(QStringLiteral(":CHAN2:VOLT 3.5")) && log.waitFor(3));
        QCOMPARE(log.events.last(), QStringLiteral("writeComplete"));
        QCOMPARE(supply->voltageSetpoint(2), 3.5);

        // A dropped answer ends in an error after the time-out.
        supply->faults().dropAnswers = 1;
        board.setReadTimeoutMs(50);
        QCOMPARE(log.exchange(board, QStringLiteral(":CHAN2:VOLT?")).value(1),
                 QStringLiteral("error:GPIB read timed out"));

        // The device goes away: the next write reports an error instead of completing.
        sim::VirtualGpibBus::instance().detach(0, 3);
        QCOMPARE(log.exchange(board, QStringLiteral("*IDN?")),
                 QStringList(QStringLiteral("error:No listener at GPIB0 address 3")));
    }

    void linuxBoardWithoutLibrary()
    {
        LinuxGpibBoard board(nullptr, QStringLiteral("libzep-no-such-gpib.so.0"));
        EventLog log(board);
        QVERIFY(!board.configure());
        QVERIFY2(board.errorString().startsWith(QLatin1String("GPIB library libzep-no-such-gpib.so.0 not found")),
                 qPrintable(board.errorString()));
        QVERIFY(!board.write(QStringLiteral("*IDN?")));
        board.read();
        board.reset();
        QCOMPARE(log.events, QStringList());
        QVERIFY(log.waitFor(1));
        QCOMPARE(log.events, QStringList(QStringLiteral("error:GPIB board not configured")));
    }
};

QTEST_GUILESS_MAIN(TstGpib)
#include "tst_gpib.moc"
