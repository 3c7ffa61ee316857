// The serial transport against the virtual supply on a real pseudo-terminal: the opening
// sequence, the query's read timing as the supply sees it, comma exchange, pulled cable.
#include "PtyRig.h"
#include "common/Wait.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QSignalSpy>
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
    // retry 100 ms later.
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

        // An answer that arrives in two parts is joined when the rest follows within one
        // more 50 ms wait, and reported empty when it does not.
        faults.splitParts = 2;
        faults.splitPauseMs = 60;
        QCOMPARE(rig.transport.serialQuery(QStringLiteral("ISET2?")), QStringLiteral("3.000A\n"));
        faults.splitPauseMs = 400;
        QCOMPARE(rig.transport.serialQuery(QStringLiteral("ISET2?")), QString());
        faults.splitParts = 1;
        Wait::ms(500);
        rig.transport.port().clear();  // drop the late half

        // A dropped answer: nothing, after the retry.
        faults.dropAnswers = 1;
        QCOMPARE(rig.transport.serialQuery(QStringLiteral("VOUT1?")), QString());
        QCOMPARE(rig.transport.serialQuery(QStringLiteral("VOUT1?")), QStringLiteral("0.000V\n"));
    }

    void commaBecomesPointOnWrites()
    {
        PtyRig rig(QStringLiteral("ZEP-2303"));
        QVERIFY(rig.ok);
        rig.transport.serialWrite(QStringLiteral("VSET1:2,5"));
        QCOMPARE(rig.transport.serialQuery(QStringLiteral("VSET1?")), QStringLiteral("2.500V\n"));
        QCOMPARE(rig.supply->receivedLines(),
                 QStringList({QStringLiteral("REMOTE"), QStringLiteral("VSET1:2.5"),
                              QStringLiteral("VSET1?")}));
    }

    void pulledLinkFailsOnce()
    {
        PtyRig rig(QStringLiteral("XPP-1501"));
        QVERIFY(rig.ok);
        QSignalSpy failed(&rig.transport, &SerialIo::linkFailed);
        const QString link = rig.server.portName();
        rig.server.dropLink();
        QVERIFY(!QFileInfo::exists(link));
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 1000);
        QVERIFY(failed.first().first().toString().startsWith(
            QStringLiteral("The serial port %1 stopped working").arg(rig.transport.portName())));
        QTRY_VERIFY(!rig.transport.isOpen());
        // Further use of the dead link answers nothing and reports nothing more.
        QCOMPARE(rig.transport.serialQuery(QStringLiteral(":MEAS:VOLT?")), QString());
        rig.transport.serialWrite(QStringLiteral(":OUTP:STAT 0"));
        Wait::ms(100);
        QCOMPARE(failed.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TstSerialTransport)
#include "tst_serialtransport.moc"
