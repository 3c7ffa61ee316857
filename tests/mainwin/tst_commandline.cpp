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
    // Runs the program; `headless`: without any display, as help and version need none.
    static Run run(const QStringList &args, bool headless = false)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (headless) {
            for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                env.remove(QLatin1String(name));
        }
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(ZEP_EXECUTABLE), args);
        if (!p.waitForFinished(30000))
            p.kill();
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    // Help lists the options and the version is the project's; an unknown option is refused
    // with the usage exit code and a type the virtual supply does not know with exit code 2 and
    // the types it knows. None of these needs a display.
    void helpVersionAndRefusedType()
    {
        const Run help = run({"--help"}, true);
        QCOMPARE(help.code, 0);
        for (const char *option : {"--simulate <TYPE>", "--connect", "--version"})
            QVERIFY2(help.out.contains(option), option);
        const Run version = run({"--version"}, true);
        QCOMPARE(version.code, 0);
        QVERIFY2(version.out.contains(QStringLiteral(ZEP_VERSION)), qPrintable(version.out));
        for (bool headless : {false, true}) {
            const Run unknown = run({"--bogus"}, headless);
            QCOMPARE(unknown.code, 1);
            QVERIFY2(unknown.err.contains("Unknown option 'bogus'") && unknown.err.contains("--help"),
                     qPrintable(unknown.err));
            const Run refused = run({"--simulate=NO-SUCH-1"}, headless);
            QCOMPARE(refused.code, 2);
            QVERIFY2(refused.err.contains("NO-SUCH-1") && refused.err.contains("XPP-3202")
                         && refused.err.contains("ZEP-4303"),
                     qPrintable(refused.err));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
