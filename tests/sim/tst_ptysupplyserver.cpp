// The pseudo-terminal server and the zep-sim executable, seen from a serial port.
#include "sim/PtySupplyServer.h"
#include "sim/VirtualSupply.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool openPort(QSerialPort &port, const QString &name, int baud = 9600)
{
    port.setPortName(name);
    port.setBaudRate(baud);
    return port.open(QIODevice::ReadWrite);
}

// Reads until `lines` complete lines have arrived (or 3 s passed).
QByteArray readLines(QSerialPort &port, int lines = 1)
{
    QByteArray got;
    (void)QTest::qWaitFor([&] {
        got += port.readAll();
        return got.count('\n') >= lines;
    }, 3000);
    return got;
}

} // namespace

class TstPtySupplyServer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    // A stale link from an earlier run is replaced; the port's speed is seen; lines end with
    // "\n" or "\r\n" and may arrive in pieces; the first identification after power-up is
    // garbled, the second is not; a dropped link removes the link. (Answers split in parts
    // and their timing are checked through the serial transport, tests/transport.)
    void linkLinesAndFaults()
    {
        QTemporaryDir dir;
        auto supply = sim::VirtualSupply::create(QStringLiteral("ZEP-2303"));
        const QString link = dir.filePath(QStringLiteral("supply"));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), link));
        sim::PtySupplyServer server(*supply);
        QVERIFY2(server.start(link), qPrintable(server.errorString()));
        QCOMPARE(QFileInfo(link).symLinkTarget(), server.slaveName());
        QSignalSpy received(&server, &sim::PtySupplyServer::lineReceived);
        QSerialPort port;
        QVERIFY(openPort(port, link, 1200));
        QCOMPARE(server.portBaudRate(), 1200);

        port.write("VSET1:5\r\nVSE");
        port.flush();
        QTRY_COMPARE(received.size(), 1);
        port.write("T1?\n");
        QCOMPARE(readLines(port), QByteArray("5.000V\n"));

        supply->faults().invalidFirstIdn = true;
        port.write("*IDN?\n*IDN?\n");
        QCOMPARE(readLines(port, 2), QByteArray("Invalid Character.\nZENVOLT,ZEP-2303,SN00006,V3.00\n"));

        server.dropLink();
        QVERIFY(!server.isRunning() && !QFileInfo::exists(link));
    }

    void executable()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("link"));
        const QString logPath = dir.filePath(QStringLiteral("lines.log"));

        QProcess sim;
        sim.start(QStringLiteral(ZEP_SIM_PATH),
                  {QStringLiteral("--type"), QStringLiteral("ZEP-4303"), QStringLiteral("--link"), link,
                   QStringLiteral("--log"), logPath});
        QVERIFY(sim.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 10000);
        {
            QSerialPort port;
            QVERIFY(openPort(port, link));
            port.write("REMOTE\nVSET4:4.5\nVSET4?\n");
            QCOMPARE(readLines(port), QByteArray("4.500V\n"));
        }
        sim.terminate();  // SIGTERM
        QVERIFY(sim.waitForFinished(10000));
        QVERIFY(sim.exitStatus() == QProcess::NormalExit && sim.exitCode() == 0);
        QVERIFY(!QFileInfo(link).isSymLink());
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("REMOTE\nVSET4:4.5\nVSET4?\n"));
    }
};

QTEST_GUILESS_MAIN(TstPtySupplyServer)
#include "tst_ptysupplyserver.moc"
