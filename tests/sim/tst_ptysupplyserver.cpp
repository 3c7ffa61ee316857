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

    void linkLifecycle()
    {
        QTemporaryDir dir;
        auto supply = sim::VirtualSupply::create(QStringLiteral("XPP-3201"));
        const QString link = dir.filePath(QStringLiteral("supply"));

        // A stale link from an earlier run is replaced; the port's speed is seen.
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), link));
        sim::PtySupplyServer server(*supply);
        QVERIFY2(server.start(link), qPrintable(server.errorString()));
        QCOMPARE(QFileInfo(link).symLinkTarget(), server.slaveName());
        QSerialPort port;
        QVERIFY(openPort(port, link, 1200));
        QCOMPARE(server.portBaudRate(), 1200);
        port.write("*IDN?\n");
        QCOMPARE(readLines(port), QByteArray("ZENVOLT,XPP-3201,SN00001,V2.01\n"));

        // A dropped link fails the open port and removes the link.
        QSignalSpy portError(&port, &QSerialPort::errorOccurred);
        server.dropLink();
        QVERIFY(!server.isRunning() && !QFileInfo::exists(link));
        QTRY_VERIFY(!portError.isEmpty());
        const auto kind = portError.first().first().value<QSerialPort::SerialPortError>();
        QVERIFY(kind == QSerialPort::ResourceError || kind == QSerialPort::ReadError);
    }

    // (Answers split in parts and their timing are checked through the serial transport,
    // tests/transport; the log file with the executable.)
    void linesAndFaults()
    {
        QTemporaryDir dir;
        auto supply = sim::VirtualSupply::create(QStringLiteral("ZEP-2303"));
        sim::PtySupplyServer server(*supply);
        QVERIFY(server.start(dir.filePath(QStringLiteral("link"))));
        QSignalSpy received(&server, &sim::PtySupplyServer::lineReceived);
        QSerialPort port;
        QVERIFY(openPort(port, server.portName()));

        // Lines end with "\n" or "\r\n" and may arrive in pieces.
        port.write("VSET1:5\r\nVSE");
        port.flush();
        QTRY_COMPARE(received.size(), 1);
        port.write("T1?\n");
        QCOMPARE(readLines(port), QByteArray("5.000V\n"));

        // The first identification after power-up is garbled, the second is not.
        supply->faults().invalidFirstIdn = true;
        port.write("*IDN?\n*IDN?\n");
        QCOMPARE(readLines(port, 2), QByteArray("Invalid Character.\nZENVOLT,ZEP-2303,SN00006,V3.00\n"));

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
