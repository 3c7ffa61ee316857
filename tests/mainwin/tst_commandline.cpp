// The program's command line: help, version and a refused virtual-supply type.
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QtTest>

class TestCommandLine : public QObject
{
    Q_OBJECT
    struct Run {
        int code;
        QString out;
        QString err;
    };
    static Run run(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral(ZEP_EXECUTABLE), args);
        if (!p.waitForFinished(30000))
            p.kill();
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void helpAndVersion()
    {
        const Run help = run({"--help"});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.contains("--simulate <TYPE>"));
        QVERIFY(help.out.contains("--connect"));
        QVERIFY(help.out.contains("--version"));
        const Run version = run({"--version"});
        QCOMPARE(version.code, 0);
        QVERIFY2(version.out.contains(QStringLiteral(ZEP_VERSION)), qPrintable(version.out));
    }

    void unknownSimulatedType()
    {
        const Run r = run({"--simulate=NO-SUCH-1"});
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains("NO-SUCH-1"), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
