// kill, Ctrl+C and a closed terminal end the program as its Quit does: the port's lock file
// is gone and the window's place is written.
#include "link/transport/PortLock.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <csignal>

class TestTermination : public QObject
{
    Q_OBJECT
    QString m_root;

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

QTEST_GUILESS_MAIN(TestTermination)
#include "tst_termination.moc"
