// The serial transport against the virtual supply on a real pseudo-terminal: the opening
// sequence, the query's read timing as the supply sees it, comma exchange. (A pulled cable:
// tst_engine_links.)
#include "PtyRig.h"
#include "common/Wait.h"
#include "support/TestEnvironment.h"

#include <QTest>

class TstSerialTransport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void openingSequence()
    {
        PtyRig rig(QStringLiteral("XPP-3202"), 115200);
        QVERIFY(rig.ok);
        QVERIFY(rig.transport.isOpen());
        QCOMPARE(rig.supply->receivedLines(), QStringList(QStringLiteral("REMOTE")));
        QCOMPARE(rig.server.portBaudRate(), 115200);
        QSerialPort &port = rig.transport.port();
        QCOMPARE(port.dataBits(), QSerialPort::Data8);
        QCOMPARE(port.parity(), QSerialPort::NoParity);
        QCOMPARE(port.stopBits(), QSerialPort::OneStop);
        QCOMPARE(rig.transport.serialQuery(QStringLiteral("*IDN?")),
                 QStringLiteral("ZENVOLT,XPP-3202,SN00002,V2.01\n"));
        QCOMPARE(rig.transport.lastAnswer(), QStringLiteral("ZENVOLT,XPP-3202,SN00002,V2.01\n"));

        // A decimal comma goes out as a point.
        rig.transport.serialWrite(QStringLiteral(":CHAN1:VOLT 2,5"));
        QCOMPARE(rig.transport.serialQuery(QStringLiteral(":CHAN1:VOLT?")), QStringLiteral("2.500V\n"));
        QCOMPARE(rig.supply->receivedLines().value(2), QStringLiteral(":CHAN1:VOLT 2.5"));

        // Opening again closes first and runs the whole sequence at the new speed.
        QVERIFY(rig.transport.open(rig.server.portName(), 9600));
        QCOMPARE(rig.server.portBaudRate(), 9600);
        QCOMPARE(rig.supply->receivedLines().last(), QStringLiteral("REMOTE"));

        // A port that is not there: false, a message, and queries answer nothing.
        SerialTransport missing;
        QVERIFY(!missing.open(rig.dir.filePath(QStringLiteral("nothing-here")), 9600));
        QVERIFY(missing.errorString().contains(QLatin1String("nothing-here")));
        QCOMPARE(missing.serialQuery(QStringLiteral("*IDN?")), QString());
    }

    // The supply delays its answers; whether the transport still gets them shows how long
    // it waited: "*IDN?" 300 ms before its first read, any other query 50 ms, then one
    // retry 100 ms later. A dropped answer gives nothing, after the retry.
    void readTiming()
    {
        PtyRig rig(QStringLiteral("ZEP-2303"));
        QVERIFY(rig.ok);
        sim::FaultPlan &faults = rig.supply->faults();

        faults.answerDelayMs = 200;
        QCOMPARE(rig.transport.serialQuery(QStringLiteral("*IDN?")),
                 QStringLiteral("ZENVOLT,ZEP-2303,SN00006,V3.00\n"));
        faults.answerDelayMs = 400;
        QCOMPARE(rig.transport.serialQuery(QStringLiteral("VSET1?")), QString());
        faults.answerDelayMs = 0;
        Wait::ms(500);  // the late answer arrives ...
        // ... and is read along with the next one; the engine pairs the newest line.
        QCOMPARE(rig.transport.serialQuery(QStringLiteral("ISET1?")),
                 QStringLiteral("0.000V\n3.000A\n"));
        faults.answerDelayMs = 700;
        QCOMPARE(rig.transport.serialQuery(QStringLiteral("*IDN?")), QString());
        faults.answerDelayMs = 0;
        Wait::ms(500);
        rig.transport.port().clear();

        // (Answers in two parts, joined or too slow: tests/transport/tst_engine_links.)
        faults.dropAnswers = 1;
        QCOMPARE(rig.transport.serialQuery(QStringLiteral("VOUT1?")), QString());
        QCOMPARE(rig.transport.serialQuery(QStringLiteral("VOUT1?")), QStringLiteral("0.000V\n"));
    }
};

QTEST_GUILESS_MAIN(TstSerialTransport)
#include "tst_serialtransport.moc"
