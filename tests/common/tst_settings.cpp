#include "settings/SettingsStore.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <cstdio>

using namespace SettingsStore;

namespace {

// The test program run again as a second process that reads or writes one value, the way
// the next start of the program would. Returns what the child printed.
QString child(const QStringList &args)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<child failed>");
    return QString::fromUtf8(p.readAllStandardOutput());
}

const QString Absent = QStringLiteral("<absent>");

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void firstRunDefaults()
    {
        QVERIFY(filePath().endsWith(QStringLiteral("/ZEP-1-0/settings.ini")));
        QCOMPARE(QList<int>({readInt(SettingKeys::ReadTimes), readInt(SettingKeys::ComPort),
                             readInt(SettingKeys::BaudRate), readInt(SettingKeys::GpibAddress),
                             readInt(SettingKeys::Miniutes)}),
                 QList<int>({5, 1, 9600, 0, 0}));
        QCOMPARE(read(SettingKeys::CommType) + read(SettingKeys::Ch1Color), QString());
        // Reading creates nothing.
        QVERIFY(!QFileInfo::exists(filePath()));
    }

    void valuesSurviveNewProcess()
    {
        const QStringList values{"XPP-3202", "a,b", "x = y; #z", "  spaced  ", "\"quoted\" \\ back", "µA Ω",
                                 "@Variant(x)"};
        for (int i = 0; i < values.size(); ++i)
            write(QStringLiteral("Common"), QString::number(i), values[i]);
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(child({"--child", "Common", QString::number(i)}), values[i]);
        QCOMPARE(child({"--child", "RS232", "BaudRate", "19200"}), QString());
        QCOMPARE(readInt(SettingKeys::BaudRate), 19200);
        QCOMPARE(child({"--child", "RS232", "Nope"}), Absent);
    }

    // A hand-edited file: non-numbers count as absent, odd lines are skipped, and writing one
    // key keeps the others.
    void handEditedFile()
    {
        QFile f(filePath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[RS232]\nBaudRate=fast\nComPort=ttyUSB0\n"
                "[RECORDPERIOD]\nCh1Color=255,0\nWaitingTime=500\ngarbage line\n");
        f.close();
        QCOMPARE(readInt(SettingKeys::BaudRate), 9600);
        QCOMPARE(QStringList({read(SettingKeys::ComPort), read(SettingKeys::Ch1Color), read(SettingKeys::WaitingTime)}),
                 QStringList({"ttyUSB0", "255,0", "500"}));
        for (const char *bad : {"abc", "7.5", "99999999999", "5 baud"}) {
            write(SettingKeys::ReadTimes, QString::fromLatin1(bad));
            QCOMPARE(readInt(SettingKeys::ReadTimes), 5);
        }
        write(SettingKeys::ReadTimes, QStringLiteral(" 7 "));
        QCOMPARE(readInt(SettingKeys::ReadTimes), 7);
        write(QStringLiteral("X"), QStringLiteral("D"), QStringLiteral("two"));
        QCOMPARE(readDouble(QStringLiteral("X"), QStringLiteral("D"), 1.0), 1.0);
        QCOMPARE(read(SettingKeys::WaitingTime), QStringLiteral("500"));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 4 && qstrcmp(argv[1], "--child") == 0) {
        const QString section = QString::fromLocal8Bit(argv[2]), key = QString::fromLocal8Bit(argv[3]);
        if (argc >= 5)
            write(section, key, QString::fromLocal8Bit(argv[4]));
        else
            std::fputs(read(section, key, Absent).toUtf8().constData(), stdout);
        return 0;
    }
    TestSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings.moc"
