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
// the next start of the program would.
QString childRead(const QString &section, const QString &key)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--child-read"), section, key});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<child failed>");
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool childWrite(const QString &section, const QString &key, const QString &value)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--child-write"), section, key, value});
    return p.waitForFinished(30000) && p.exitCode() == 0;
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
        QVERIFY(!QFileInfo::exists(filePath()));
        QVERIFY(filePath().endsWith(QStringLiteral("/ZEP-1-0/settings.ini")));
        QCOMPARE(QList<int>({readInt(SettingKeys::ReadTimes), readInt(SettingKeys::ComPort),
                             readInt(SettingKeys::BaudRate)}),
                 QList<int>({5, 1, 9600}));
        for (const SettingKey &k :
             {SettingKeys::StartMemory, SettingKeys::EndMemory, SettingKeys::Cycle,
              SettingKeys::Delay, SettingKeys::Memory, SettingKeys::GpibBoard,
              SettingKeys::GpibAddress, SettingKeys::ComPortIndex, SettingKeys::BaudRateIndex,
              SettingKeys::Days, SettingKeys::Hours, SettingKeys::Miniutes, SettingKeys::Seconds,
              SettingKeys::RecScale, SettingKeys::RecPointStyle})
            QCOMPARE(read(k) + QString::number(readInt(k)), QStringLiteral("00"));
        for (const SettingKey &k :
             {SettingKeys::CommType, SettingKeys::MType, SettingKeys::Ch1Color,
              SettingKeys::Ch2Color, SettingKeys::Ch3Color, SettingKeys::Ch4Color,
              SettingKeys::WaitingTime, SettingKeys::RoundTime, SettingKeys::WriterTime})
            QCOMPARE(read(k), QString());
        QCOMPARE(QString::fromLatin1(SettingKeys::Miniutes.key), QStringLiteral("Miniutes"));
        QCOMPARE(QString::fromLatin1(SettingKeys::Days.section), QStringLiteral("RECORDPERIOD"));
        // Reading creates nothing.
        QVERIFY(!QFileInfo::exists(filePath()));
    }

    void nonNumbersCountAsAbsent()
    {
        for (const char *bad : {"abc", "", "7.5", "99999999999", "5 baud"}) {
            write(SettingKeys::ReadTimes, QString::fromLatin1(bad));
            QCOMPARE(readInt(SettingKeys::ReadTimes), 5);
        }
        write(SettingKeys::ReadTimes, QStringLiteral(" 7 "));
        QCOMPARE(readInt(SettingKeys::ReadTimes), 7);
        writeInt(SettingKeys::Delay, -3);
        QCOMPARE(readInt(SettingKeys::Delay), -3);
        write(QStringLiteral("X"), QStringLiteral("D"), QStringLiteral("2.5"));
        QCOMPARE(readDouble(QStringLiteral("X"), QStringLiteral("D"), 1.0), 2.5);
        write(QStringLiteral("X"), QStringLiteral("D"), QStringLiteral("two"));
        QCOMPARE(readDouble(QStringLiteral("X"), QStringLiteral("D"), 1.0), 1.0);
    }

    void valuesSurviveNewProcess()
    {
        const QList<std::pair<QString, QString>> values = {
            {QStringLiteral("Common"), QStringLiteral("XPP-3202")},
            {QStringLiteral("A"), QStringLiteral("a,b")},
            {QStringLiteral("B"), QStringLiteral("x = y; #z")},
            {QStringLiteral("C"), QStringLiteral("  spaced  ")},
            {QStringLiteral("D"), QStringLiteral("\"quoted\" \\ back")},
            {QStringLiteral("E"), QStringLiteral("µA Ω")},
            {QStringLiteral("F"), QStringLiteral("@Variant(x)")},
        };
        for (const auto &[key, value] : values)
            write(QStringLiteral("Common"), key, value);
        for (const auto &[key, value] : values)
            QCOMPARE(childRead(QStringLiteral("Common"), key), value);

        QVERIFY(childWrite(QStringLiteral("RS232"), QStringLiteral("BaudRate"),
                           QStringLiteral("19200")));
        QCOMPARE(readInt(SettingKeys::BaudRate), 19200);
        QCOMPARE(childRead(QStringLiteral("RS232"), QStringLiteral("Nope")), Absent);
    }

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
        // Writing one key keeps the others.
        write(SettingKeys::Memory, QStringLiteral("3"));
        QCOMPARE(read(SettingKeys::WaitingTime), QStringLiteral("500"));
        QCOMPARE(readInt(SettingKeys::Memory), 3);
    }
};

int main(int argc, char **argv)
{
    if (argc >= 4 && (qstrcmp(argv[1], "--child-read") == 0 || qstrcmp(argv[1], "--child-write") == 0)) {
        QCoreApplication app(argc, argv);
        const QString section = QString::fromLocal8Bit(argv[2]);
        const QString key = QString::fromLocal8Bit(argv[3]);
        if (qstrcmp(argv[1], "--child-write") == 0) {
            if (argc < 5)
                return 2;
            write(section, key, QString::fromLocal8Bit(argv[4]));
            return 0;
        }
        const QByteArray out = read(section, key, Absent).toUtf8();
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings.moc"
