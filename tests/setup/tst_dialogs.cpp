#include "FakePorts.h"
#include "common/Prompter.h"
#include "settings/SettingsStore.h"
#include "ports/AutoDetect.h"
#include "setup/dlgConfigRS232.h"
#include "setup/dlgGPIB.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QStringList SystemPorts{QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0"), QStringLiteral("ttyUSB1")};
const QStringList NothingStored{"<absent>", "<absent>", "<absent>", "<absent>"};

const SettingKey SerialKeys[] = {SettingKeys::ComPort, SettingKeys::BaudRate, SettingKeys::ComPortIndex,
                                  SettingKeys::BaudRateIndex};

// Port name, baud rate, port index, baud index as stored.
QStringList allStored()
{
    QStringList out;
    for (const SettingKey &k : SerialKeys)
        out << SettingsStore::read(QLatin1String(k.section), QLatin1String(k.key), QStringLiteral("<absent>"));
    return out;
}
// Starts from a settings file holding only the given port name, baud rate, port index and
// baud index (null: absent).
void storeOnly(const QStringList &values)
{
    QFile::remove(SettingsStore::filePath());
    for (int i = 0; i < values.size(); ++i)
        if (!values[i].isNull())
            SettingsStore::write(SerialKeys[i], values[i]);
}

struct Fixture {
    FakeProber *prober = new FakeProber;
    FakeLister *lister = new FakeLister(SystemPorts);
    dlgConfigRS232 dlg{nullptr, std::unique_ptr<PortLister>(lister), std::unique_ptr<PortProber>(prober)};
    QComboBox *ports() { return dlg.findChild<QComboBox *>(QStringLiteral("Combo1")); }
    QComboBox *bauds() { return dlg.findChild<QComboBox *>(QStringLiteral("Combo2")); }
    QPushButton *button(const char *name) { return dlg.findChild<QPushButton *>(QLatin1String(name)); }
    bool progressVisible() { return dlg.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"))->isVisible(); }
    // Runs `steps` once the modal dialog is showing, then returns what Execute returned.
    bool execute(std::function<void()> steps)
    {
        QTimer::singleShot(0, std::move(steps));
        return dlg.Execute();
    }
};

QString gpibShownAndStored(const dlgGPIB &dlg)
{
    return QStringLiteral("%1/%2 %3/%4").arg(dlg.board()).arg(dlg.address())
        .arg(SettingsStore::read(SettingKeys::GpibBoard), SettingsStore::read(SettingKeys::GpibAddress));
}
bool chooseGpib(dlgGPIB &dlg, const char *button, int board, int address)
{
    QTimer::singleShot(0, &dlg, [&dlg, button, board, address] {
        dlg.findChild<QComboBox *>(QStringLiteral("cmbGPIBn"))->setCurrentIndex(board);
        dlg.findChild<QComboBox *>(QStringLiteral("cmbAddress"))->setCurrentIndex(address);
        dlg.findChild<QPushButton *>(QLatin1String(button))->click();
    });
    return dlg.Execute();
}

} // namespace

class TestSetupDialogs : public QObject
{
    Q_OBJECT

    ScriptedPrompter prompter;

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }
    void init()
    {
        storeOnly({});
        prompter.clear();
        Prompter::install(&prompter);
        AutoDetect::AutoConnecting = false;
    }
    void cleanup() { Prompter::install(nullptr); }

    // The remembered port name wins over a list position that now points elsewhere; without
    // a name the position decides; neither usable: nothing is selected and OK says so instead
    // of opening another port, and shown, the dialog stays open until a listed port is chosen.
    void portChoiceFromSettings()
    {
        storeOnly({"ttyUSB1", "115200", "0", "0"});  // hand-edited mismatch of the indexes
        Fixture f;
        QVERIFY(f.dlg.Execute(true));
        QCOMPARE(allStored(), QStringList({"ttyUSB1", "115200", "2", "4"}));
        storeOnly({QString(), QString(), "1"});
        QVERIFY(f.dlg.Execute(true));
        QCOMPARE(f.dlg.portName(), QStringLiteral("ttyUSB0"));
        QVERIFY(prompter.messages.isEmpty());

        storeOnly({QString(), QString(), "7"});
        QVERIFY(!f.dlg.Execute(true));
        QCOMPARE(f.ports()->currentIndex(), -1);
        QVERIFY(prompter.messages.size() == 1 && prompter.messages.first().text.startsWith(u"No serial port is selected."));
        QCOMPARE(allStored(), QStringList({"<absent>", "<absent>", "7", "<absent>"}));

        prompter.clear();
        bool stillOpenAfterRefusal = false;
        QVERIFY(f.execute([&] {
            f.button("OKButton")->click();
            stillOpenAfterRefusal = f.dlg.isVisible();
            f.ports()->setCurrentIndex(2);
            f.button("OKButton")->click();
        }));
        QVERIFY(stillOpenAfterRefusal);
        QCOMPARE(prompter.messages.size(), 1);
        QCOMPARE(f.dlg.portName(), QStringLiteral("ttyUSB1"));
    }

    // Settings change on OK only. A typed device path is accepted when it exists, refused when
    // it does not.
    void okStoresCancelKeeps()
    {
        Fixture f;
        auto choose = [&](const char *button) {
            return f.execute([&f, button] {
                f.ports()->setCurrentIndex(1);
                f.bauds()->setCurrentIndex(5);
                f.button(button)->click();
            });
        };
        QVERIFY(!choose("CancelButton"));
        QCOMPARE(allStored(), NothingStored);
        QCOMPARE(f.dlg.BaudRate, 9600);
        QVERIFY(choose("OKButton"));
        QCOMPARE(allStored(), QStringList({"ttyUSB0", "57600", "1", "5"}));

        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("link"));
        QVERIFY(QFile(link).open(QIODevice::WriteOnly));
        QVERIFY(f.execute([&] {
            f.ports()->setEditText(dir.filePath(QStringLiteral("missing")));
            f.button("OKButton")->click();
            f.ports()->setEditText(link);
            f.button("OKButton")->click();
        }));
        QVERIFY(prompter.messages.size() == 1 && prompter.messages.first().text.contains(u"missing\" is not available"));
        QCOMPARE(allStored(), QStringList({link, "57600", "3", "5"}));
    }

    // A failed search says why and stores nothing. (Found: tst_autodetect.)
    void autoDetectFailures()
    {
        Fixture f;
        f.dlg.autoDetector().setReplyWaitMs(0);
        int searches = 0;
        connect(&f.dlg.autoDetector(), &AutoDetector::finished, this, [&] {
            // First nothing opens, then nothing answers.
            f.prober->openable = SystemPorts;
            const char *next = ++searches == 1 ? "cmdAutoConn" : "CancelButton";
            QTimer::singleShot(0, this, [&f, next] { f.button(next)->click(); });
        });
        QVERIFY(!f.execute([&] { f.button("cmdAutoConn")->click(); }));
        QCOMPARE(prompter.messageTexts(),
                 QStringList({"Your Device cannot find any connected device with Serial Port.",
                              "Please recheck Line connection and Device Setting of your device!\r\n"
                              "Or Please restart power device.\r\nAnd then Retry [Auto Detect] again"}));
        QVERIFY(!AutoDetect::AutoConnecting);
        QCOMPARE(allStored(), NothingStored);
    }

    // The engine's port is released before the search opens any. Cancel while searching:
    // the search stops, the port is closed, the dialog ends as cancelled, nothing is stored.
    void cancelDuringSearch()
    {
        SettingsStore::write(SettingKeys::ComPort, QStringLiteral("ttyUSB0"));
        const QStringList before = allStored();
        Fixture f;
        f.prober->openable = SystemPorts;
        int opensAtRelease = -1, probes = 0;
        f.dlg.setReleaseEnginePort([&] { opensAtRelease = f.prober->opens; });
        bool progressShown = false;
        f.dlg.autoDetector().setReplyWaitMs(20);
        connect(&f.dlg.autoDetector(), &AutoDetector::probing, this, [&] {
            progressShown = f.progressVisible();
            if (++probes == 4)  // cancelled while the fourth probe waits for its reply
                QTimer::singleShot(0, this, [&f] { f.button("CancelButton")->click(); });
        });
        QVERIFY(!f.execute([&] { f.button("cmdAutoConn")->click(); }));
        QCOMPARE(opensAtRelease, 0);
        QVERIFY(progressShown && !f.progressVisible());
        QCOMPARE(f.prober->probes.size(), 4);
        QVERIFY(!f.prober->isOpen() && !f.dlg.isSearching() && !AutoDetect::AutoConnecting);
        QVERIFY(prompter.messages.isEmpty() && f.dlg.portName().isEmpty());
        QCOMPARE(allStored(), before);
    }

    // Each listed port carries what the system says of it; an adapter plugged in while the
    // dialog is open joins the list, and the one being typed stays in the field.
    void portDescriptionsAndHotplug()
    {
        Fixture f;
        f.lister->descriptions.insert(QStringLiteral("ttyUSB0"), QStringLiteral("FT232R USB UART, FTDI"));
        QStringList seen;
        QVERIFY(!f.execute([&] {
            QCOMPARE(f.ports()->itemData(f.ports()->findText(QStringLiteral("ttyUSB0")),
                                         dlgConfigRS232::PortDescriptionRole).toString(),
                     QStringLiteral("FT232R USB UART, FTDI"));
            f.ports()->setEditText(QStringLiteral("/dev/ttyUSB9"));
            f.lister->m_names.prepend(QStringLiteral("ttyACM0"));
            f.dlg.refreshPorts();  // what the watch timer runs while the dialog shows
            for (int i = 0; i < f.ports()->count(); ++i)
                seen << f.ports()->itemText(i);
            seen << f.ports()->currentText();
            f.button("CancelButton")->click();
        }));
        QCOMPARE(seen, (QStringList{"ttyACM0", "ttyS0", "ttyUSB0", "ttyUSB1", "/dev/ttyUSB9"}));
    }

    // GPIB: boards 0..10, addresses 0..30; OK stores, Cancel keeps; the direct form uses what
    // was stored without showing.
    void gpibRangesOkCancelAndDirect()
    {
        dlgGPIB dlg;
        QCOMPARE(dlg.findChild<QComboBox *>(QStringLiteral("cmbGPIBn"))->itemText(10), QStringLiteral("10"));
        QCOMPARE(dlg.findChild<QComboBox *>(QStringLiteral("cmbAddress"))->count(), 31);
        QVERIFY(chooseGpib(dlg, "OKButton", 10, 30));
        QVERIFY(!chooseGpib(dlg, "CancelButton", 3, 7));
        QCOMPARE(gpibShownAndStored(dlg), QStringLiteral("10/30 10/30"));
        dlgGPIB fresh;
        QVERIFY(fresh.Execute(true));
        QVERIFY(!fresh.isVisible());
        QCOMPARE(gpibShownAndStored(fresh), QStringLiteral("10/30 10/30"));

        // Hand-edited values outside the lists or not numbers: OK stores numbers from the lists.
        for (const char *address : {"abc", "-3"}) {
            SettingsStore::write(SettingKeys::GpibBoard, QStringLiteral("45"));
            SettingsStore::write(SettingKeys::GpibAddress, QLatin1String(address));
            dlgGPIB edited;
            QVERIFY(edited.Execute(true));
            QCOMPARE(gpibShownAndStored(edited), QStringLiteral("0/0 0/0"));
        }
    }
};

QTEST_MAIN(TestSetupDialogs)
#include "tst_dialogs.moc"
