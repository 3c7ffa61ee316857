// The program's command line: help, version and a refused virtual-supply type; and kill,
// Ctrl+C and a closed terminal ending the program as its Quit does: the port's lock file is
// gone and the window's place is written.
#include "link/transport/PortLock.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <csignal>

class TestCommandLine : public QObject
{
    Q_OBJECT
    QString m_root;
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

    // The lock files that name `pid`, in every folder serial ports are locked in.
    static QStringList lockFilesOf(qint64 pid)
    {
        QStringList found;
        for (const QString &folder : PortLock::systemFolders()) {
            const QDir dir(folder);
            for (const QString &name : dir.entryList({QStringLiteral("LCK..*")}, QDir::Files)) {
                QFile f(dir.filePath(name));
                if (f.open(QIODevice::ReadOnly) && f.readLine(64).trimmed().toLongLong() == pid)
                    found << f.fileName();
            }
        }
        return found;
    }

private slots:
    void initTestCase() { m_root = TestEnvironment::isolateUserFolders(); }

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

    void signalEndsLikeQuit_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void signalEndsLikeQuit()
    {
        QFETCH(int, signalNumber);
        const QString settings = m_root + QStringLiteral("/config/ZEP-1-0/settings.ini");
        QFile::remove(settings);
        QProcess zep;
        zep.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        zep.start(QStringLiteral(ZEP_EXECUTABLE), {QStringLiteral("--simulate")});
        QVERIFY(zep.waitForStarted());
        // Connected: the port of its virtual supply is locked by it.
        QTRY_VERIFY_WITH_TIMEOUT(!lockFilesOf(zep.processId()).isEmpty(), 60000);
        const QStringList locks = lockFilesOf(zep.processId());
        ::kill(static_cast<pid_t>(zep.processId()), signalNumber);
        QVERIFY(zep.waitForFinished(30000));
        QCOMPARE(zep.exitStatus(), QProcess::NormalExit);
        QCOMPARE(zep.exitCode(), 0);
        for (const QString &lock : locks)
            QVERIFY2(!QFile::exists(lock), qPrintable(lock));
        QSettings written(settings, QSettings::IniFormat);
        QVERIFY2(written.childGroups().contains(QStringLiteral("Windows")),
                 qPrintable(written.childGroups().join(',')));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
