#include "FakePorts.h"
#include "common/Prompter.h"
#include "settings/SettingsStore.h"
#include "setup/AutoDetect.h"
#include "setup/dlgConfigRS232.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QStringList SystemPorts{QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0"), QStringLiteral("ttyUSB1")};

void clearSettings()
{
    QFile::remove(SettingsStore::filePath());
}

void store(const SettingKey &key, const QString &value)
{
    SettingsStore::write(key, value);
}

QString stored(const SettingKey &key)
{
    return SettingsStore::read(QLatin1String(key.section), QLatin1String(key.key), QStringLiteral("<absent>"));
}

QStringList allStored()
{
    return {stored(SettingKeys::ComPort), stored(SettingKeys::BaudRate), stored(SettingKeys::ComPortIndex),
            stored(SettingKeys::BaudRateIndex)};
}

struct Fixture {
    FakeProber *prober = new FakeProber;
    dlgConfigRS232 dlg{nullptr, std::make_unique<FakeLister>(SystemPorts), std::unique_ptr<PortProber>(prober)};
    QComboBox *ports() { return dlg.findChild<QComboBox *>(QStringLiteral("Combo1")); }
    QComboBox *bauds() { return dlg.findChild<QComboBox *>(QStringLiteral("Combo2")); }
    QPushButton *button(const char *name) { return dlg.findChild<QPushButton *>(QLatin1String(name)); }
};

// A device node stand-in: a file that exists.
QString existingFile(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("link"));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) ? path : QString();
}

// Runs `steps` once the modal dialog is showing.
void whenShown(std::function<void()> steps)
{
    QTimer::singleShot(0, std::move(steps));
}

} // namespace

class TestRs232Dialog : public QObject
{
    Q_OBJECT

    ScriptedPrompter prompter;

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }
    void init()
    {
        clearSettings();
        prompter.clear();
        Prompter::install(&prompter);
        AutoDetect::AutoConnecting = false;
    }
    void cleanup() { Prompter::install(nullptr); }

    void controlsAndTexts()
    {
        Fixture f;
        QCOMPARE(f.dlg.windowTitle(), QStringLiteral("Config RS232"));
        QCOMPARE(f.button("cmdAutoConn")->text(), QStringLiteral("Auto Dectect"));
        QVERIFY(f.ports()->isEditable());
        QStringList bauds;
        for (int i = 0; i < f.bauds()->count(); ++i)
            bauds << f.bauds()->itemText(i);
        QCOMPARE(bauds, QStringList({"9600", "4800", "2400", "1200", "115200", "57600"}));
        QCOMPARE(f.dlg.findChild<QLabel *>(QStringLiteral("lblDataBits"))->text(), QStringLiteral("Data Bits: 8 bits"));
        QVERIFY(f.dlg.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"))->isHidden());
    }

    // The remembered port name wins over a list position that now points elsewhere; a
    // remembered device path that exists is added to the list.
    void storedNameWinsOverStaleIndex()
    {
        store(SettingKeys::ComPort, QStringLiteral("ttyUSB1"));
        store(SettingKeys::ComPortIndex, QStringLiteral("0"));
        store(SettingKeys::BaudRate, QStringLiteral("115200"));
        store(SettingKeys::BaudRateIndex, QStringLiteral("0"));  // hand-edited mismatch
        Fixture f;
        QVERIFY(f.dlg.Execute(true));
        QCOMPARE(f.dlg.portName(), QStringLiteral("ttyUSB1"));
        QCOMPARE(f.dlg.BaudRate, 115200);
        QCOMPARE(allStored(), QStringList({"ttyUSB1", "115200", "2", "4"}));

        QTemporaryDir dir;
        const QString link = existingFile(dir);
        store(SettingKeys::ComPort, link);
        store(SettingKeys::ComPortIndex, QStringLiteral("1"));
        QVERIFY(f.dlg.Execute(true));
        QCOMPARE(f.dlg.portName(), link);
        QCOMPARE(f.ports()->itemText(3), link);
        QCOMPARE(stored(SettingKeys::ComPortIndex), QStringLiteral("3"));
        QVERIFY(prompter.messages.isEmpty());
    }

    // No remembered name: the list position decides. Neither usable, or the remembered port
    // gone: nothing is selected and OK says so instead of opening another port.
    void positionOnlyWithoutName()
    {
        store(SettingKeys::ComPortIndex, QStringLiteral("1"));
        Fixture f;
        QVERIFY(f.dlg.Execute(true));
        QCOMPARE(f.dlg.portName(), QStringLiteral("ttyUSB0"));
        QCOMPARE(stored(SettingKeys::ComPort), QStringLiteral("ttyUSB0"));

        clearSettings();
        store(SettingKeys::ComPortIndex, QStringLiteral("7"));
        const QStringList before = allStored();
        QVERIFY(!f.dlg.Execute(true));
        QCOMPARE(f.ports()->currentIndex(), -1);
        QCOMPARE(prompter.messages.size(), 1);
        QVERIFY(prompter.messages.first().text.startsWith(QStringLiteral("No serial port is selected.")));
        QCOMPARE(allStored(), before);

        // The remembered port is gone: nothing is selected, the name stays stored.
        prompter.clear();
        store(SettingKeys::ComPort, QStringLiteral("ttyUSB7"));
        store(SettingKeys::ComPortIndex, QStringLiteral("0"));
        QVERIFY(!f.dlg.Execute(true));
        QCOMPARE(f.ports()->currentIndex(), -1);
        QCOMPARE(prompter.messages.size(), 1);
        QVERIFY(prompter.messages.first().text.contains(QStringLiteral("\"ttyUSB7\" is not available")));
        QCOMPARE(stored(SettingKeys::ComPort), QStringLiteral("ttyUSB7"));

        // Shown: OK is refused and the dialog stays open; choosing a listed port then works.
        prompter.clear();
        bool stillOpenAfterRefusal = false;
        whenShown([&] {
            f.button("OKButton")->click();
            stillOpenAfterRefusal = f.dlg.isVisible();
            f.ports()->setCurrentIndex(2);
            f.button("OKButton")->click();
        });
        QVERIFY(f.dlg.Execute());
        QVERIFY(stillOpenAfterRefusal);
        QCOMPARE(prompter.messages.size(), 1);
        QCOMPARE(f.dlg.portName(), QStringLiteral("ttyUSB1"));
        QCOMPARE(stored(SettingKeys::ComPort), QStringLiteral("ttyUSB1"));
    }

    // Settings change on OK only; Cancel leaves stored and public values alone. A typed
    // device path is accepted when it exists, refused when it does not.
    void okStoresCancelKeeps()
    {
        Fixture f;
        whenShown([&] {
            f.ports()->setCurrentIndex(1);
            f.bauds()->setCurrentIndex(5);
            f.button("CancelButton")->click();
        });
        QVERIFY(!f.dlg.Execute());
        QCOMPARE(allStored(), QStringList({"<absent>", "<absent>", "<absent>", "<absent>"}));
        QCOMPARE(f.dlg.portName(), QString());
        QCOMPARE(f.dlg.BaudRate, 9600);

        whenShown([&] {
            f.ports()->setCurrentIndex(1);
            f.bauds()->setCurrentIndex(5);
            f.button("OKButton")->click();
        });
        QVERIFY(f.dlg.Execute());
        QCOMPARE(allStored(), QStringList({"ttyUSB0", "57600", "1", "5"}));
        QCOMPARE(f.dlg.BaudRate, 57600);

        QTemporaryDir dir;
        const QString link = existingFile(dir);
        whenShown([&] {
            f.ports()->setEditText(dir.filePath(QStringLiteral("missing")));
            f.button("OKButton")->click();
            f.ports()->setEditText(link);
            f.button("OKButton")->click();
        });
        QVERIFY(f.dlg.Execute());
        QCOMPARE(prompter.messages.size(), 1);
        QVERIFY(prompter.messages.first().text.contains(QStringLiteral("missing\" is not available")));
        QCOMPARE(allStored(), QStringList({link, "57600", "3", "5"}));
    }

    // The search from the dialog: the engine's port is released first, the found entries
    // stay selected and OK stores them.
    void autoDetectFromDialog()
    {
        Fixture f;
        f.prober->openable = {QStringLiteral("ttyS0"), QStringLiteral("ttyUSB1")};
        f.prober->answer = [](const QString &port, int baud, int) {
            return port == QLatin1String("ttyS0") && baud == 115200 ? QByteArrayLiteral("ZEP,NV-3202,1,V1\n")
                                                                    : QByteArray();
        };
        int opensAtRelease = -1;
        f.dlg.setReleaseEnginePort([&] { opensAtRelease = int(f.prober->log.size()); });
        bool progressShown = false;
        f.dlg.autoDetector().setWaiter([&](int) {
            progressShown = progressShown || f.dlg.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"))->isVisible();
        });
        whenShown([&] {
            f.button("cmdAutoConn")->click();
            f.button("OKButton")->click();
        });
        QVERIFY(f.dlg.Execute());
        QCOMPARE(opensAtRelease, 0);
        QVERIFY(progressShown);
        QVERIFY(f.dlg.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"))->isHidden());
        QCOMPARE(prompter.messageTexts(),
                 QStringList({"Detect Configuration Successfully!\r\nPorts: ttyS0 ,Baud Rate:115200\r\nZEP,NV-3202,1,V1\n"}));
        QVERIFY(AutoDetect::AutoConnecting);
        QCOMPARE(allStored(), QStringList({"ttyS0", "115200", "0", "4"}));
        QVERIFY(!f.prober->isOpen());
    }

    void autoDetectFailures()
    {
        Fixture f;
        f.dlg.autoDetector().setWaiter([](int) {});
        whenShown([&] {
            f.button("cmdAutoConn")->click();  // nothing opens
            f.prober->openable = SystemPorts;
            f.button("cmdAutoConn")->click();  // nothing answers
            f.button("CancelButton")->click();
        });
        QVERIFY(!f.dlg.Execute());
        QCOMPARE(prompter.messageTexts(),
                 QStringList({"Your Device cannot find any connected device with Serial Port.",
                              "Please recheck Line connection and Device Setting of your device!\r\n"
                              "Or Please restart power device.\r\nAnd then Retry [Auto Detect] again"}));
        QVERIFY(!AutoDetect::AutoConnecting);
        QCOMPARE(f.prober->probes.size(), SystemPorts.size() * dlgConfigRS232::baudList().size());
        QCOMPARE(allStored(), QStringList({"<absent>", "<absent>", "<absent>", "<absent>"}));
    }

    // Cancel while searching: the search stops, the port is closed, the dialog ends as
    // cancelled and nothing is stored.
    void cancelDuringSearch()
    {
        store(SettingKeys::ComPort, QStringLiteral("ttyUSB0"));
        const QStringList before = allStored();
        Fixture f;
        f.prober->openable = SystemPorts;
        int waits = 0;
        f.dlg.autoDetector().setWaiter([&](int) {
            if (++waits == 4)
                f.button("CancelButton")->click();
        });
        whenShown([&] { f.button("cmdAutoConn")->click(); });
        QVERIFY(!f.dlg.Execute());
        QCOMPARE(f.prober->probes.size(), 4);
        QVERIFY(!f.prober->isOpen());
        QVERIFY(!f.dlg.isSearching());
        QVERIFY(!AutoDetect::AutoConnecting);
        QVERIFY(prompter.messages.isEmpty());
        QCOMPARE(allStored(), before);
        QVERIFY(f.dlg.portName().isEmpty());
    }
};

QTEST_MAIN(TestRs232Dialog)
#include "tst_rs232dialog.moc"
