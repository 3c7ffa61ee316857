// Connecting over RS232 to the virtual supply on a pseudo-terminal and identifying it: every
// catalogue model, unsupported and silent supplies, the reconnect question, the initial-query
// dialog and links that fail while running, over RS232 and GPIB.
#include "MainwinRig.h"

#include "common/Clock.h"
#include "link/Commands.h"
#include "settings/SettingsStore.h"
#include "sim/SupplyModel.h"
#include "sim/VirtualGpibBus.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QProgressBar>
#include <QtTest>
#include <unistd.h>

namespace {

// The GPIB dialog's choice without showing it.
class FixedGpib : public InterfaceChooser
{
public:
    std::optional<Serial> chooseSerial(bool, const QString &) override { return std::nullopt; }
    std::optional<Gpib> chooseGpib(bool) override { return Gpib{0, 5}; }
};

// GPIB boards on the in-process virtual bus.
class VirtualBusLinks : public LinkOpener
{
public:
    std::unique_ptr<SerialIo> openSerial(const QString &, int, QString *) override { return nullptr; }
    std::unique_ptr<GpibBoard> openGpib(int board, int address, QString *error) override
    {
        auto b = std::make_unique<sim::VirtualGpibBoard>();
        b->setReadTimeoutMs(500);
        b->setBoard(board);
        b->setPrimaryAddress(address);
        if (!b->configure())
            *error = b->errorString();
        return b;
    }
};

// The time-out message and a full reset after the link failed.
void checkResetAfterLinkFailure(MDIForm1 &w, const ScriptedPrompter &prompter)
{
    QTRY_COMPARE_WITH_TIMEOUT(w.MainFormState(), 0, 20000);
    QVERIFY(!prompter.messages.isEmpty());
    QCOMPARE(prompter.messages.first().text, QStringLiteral("Operation Timeout, Causes Reset Now."));
    QCOMPARE(prompter.messages.first().title, QStringLiteral("TIMEOUT!"));
    QVERIFY(!w.connection().QueryTimer.isActive() && !w.OperatorForm() && !w.menuItem("mnuOutput")->isChecked());
    QTRY_COMPARE(w.mdiArea()->subWindowList().size(), 0);
    QCOMPARE(w.windowTitle(), QStringLiteral("ZEP 2016"));
}

} // namespace

class TestIdentification : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    // The on-line button reconnects with the remembered port and speed without showing the
    // RS232 dialog; the supply is told "REMOTE" and asked "*IDN?". A new connection while
    // running asks first (No leaves it running and sends nothing); while identifying it does not.
    void connectAndReconnect()
    {
        InstalledPrompter prompter;
        SimSupply sim("XPP-3202");
        SettingsStore::write(SettingKeys::CommType, "RS232");
        SettingsStore::write(SettingKeys::MType, "XPP-3202");
        SettingsStore::write(SettingKeys::ComPort, sim.port());
        SettingsStore::writeInt(SettingKeys::BaudRate, 115200);
        auto w = makeWindow();
        w->toolButton("OnOffLine")->trigger();
        QCOMPARE(w->MainFormState(), 1);
        QVERIFY(!w->menuItem("mnuGPIB")->isEnabled() && !w->menuItem("mnuRS232")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(w->MainFormState(), 3, 10000);
        QVERIFY(stateOf(*w) == "3 1 XPP-3202" && w->baudRate() == 115200);
        QCOMPARE(sim.linesSince(0).mid(0, 2), (QStringList{"REMOTE", "*IDN?"}));
        QVERIFY(sim.supply->remote() && w->menuItem("mnuRS232")->isChecked() && w->menuItem("mnuRS232")->isEnabled());
        QVERIFY(!w->toolButton("OnOffLine")->isChecked() && prompter.messages.isEmpty());
        QCOMPARE(SettingsStore::read(SettingKeys::CommType), QStringLiteral("RS232"));

        // The first connection's initial values are in before the line count is taken.
        QTRY_VERIFY_WITH_TIMEOUT(w->engine().isIdle(), 20000);
        const int lines = sim.lineCount();
        prompter.answers = {false, false, true};
        w->toolButton("OnOffLine")->trigger();
        w->SetupSerialPort(sim.port(), 115200);
        QVERIFY(prompter.questions.size() == 2 && prompter.questions.at(1).text == "Reset and open it?");
        QVERIFY(w->MainFormState() == 3 && !w->toolButton("OnOffLine")->isChecked() && sim.lineCount() == lines);
        QVERIFY(connectTo(*w, sim));
        QCOMPARE(prompter.questions.size(), 3);
        // A line the old connection had on its way may arrive before the new one's first.
        const QStringList again = sim.linesSince(lines);
        QCOMPARE(again.mid(again.indexOf(QStringLiteral("REMOTE")), 2), (QStringList{"REMOTE", "*IDN?"}));

        w->ResetAll();
        QVERIFY(w->toolButton("OnOffLine")->isChecked());
        w->SetupSerialPort(sim.port(), 115200);
        QCOMPARE(w->MainFormState(), 1);
        w->Setup("Menu", "ZEP-2306", false);
        QVERIFY(prompter.questions.size() == 3 && w->MachineType() == "ZEP-2306");
    }

    // A port that cannot be opened is said at once with the system's reason (and, where it is
    // a permission, how to get it); nothing waits for the identification deadline.
    void portThatCannotBeOpened()
    {
        InstalledPrompter prompter;
        auto w = makeWindow();
        w->SetupSerialPort(QStringLiteral("/nonexistent/zep-port"), 9600);
        QVERIFY(w->MainFormState() == 0 && prompter.messages.size() == 1);
        const QString text = prompter.messages.first().text;
        QVERIFY2(text.startsWith(QStringLiteral("Cannot open /nonexistent/zep-port: ")) && text.size() > 36,
                 qPrintable(text));
        QVERIFY(w->menuItem("mnuRS232")->isEnabled() && !w->connection().SettleTimer.isActive());

        if (::geteuid() == 0)
            return;  // root opens any device: no permission to be refused
        SimSupply sim("XPP-3202");
        QVERIFY(QFile::setPermissions(sim.server->slaveName(), QFileDevice::Permissions()));
        prompter.clear();
        w->SetupSerialPort(sim.port(), 9600);
        QCOMPARE(w->MainFormState(), 0);
        QVERIFY2(prompter.messageTexts().value(0).contains(QStringLiteral("dialout")),
                 qPrintable(prompter.messageTexts().value(0)));
    }

    void unsupportedAnswers_data()
    {
        QTest::addColumn<QString>("idn");
        QTest::newRow("unknown type") << "ACME,QQQ-9999,0,1.0";
        QTest::newRow("no comma") << "XPP-3202";
        QTest::newRow("silent") << QString();
    }

    // A type the table does not offer, an answer without a type field and a supply that never
    // answers (the 7.5-second deadline on the program's clock) all end in the message and a
    // full reset; the connection is not remembered and a late answer is ignored.
    void unsupportedAnswers()
    {
        QFETCH(QString, idn);
        InstalledPrompter prompter;
        FakeClock clock;
        ScopedClock scopedClock(clock);
        SettingsStore::write(SettingKeys::CommType, "");
        sim::SupplyModel model = *sim::modelForType("XPP-3202");
        if (!idn.isEmpty())
            model.idn = idn;
        SimSupply sim(model);
        if (idn.isEmpty())
            sim.supply->faults().dropAnswers = 1000;
        auto w = makeWindow();
        w->SetupSerialPort(sim.port(), 115200);
        if (idn.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(sim.linesSince(0).contains("*IDN?"), 10000);
            clock.advanceMs(7400);
            w->connection().GetMachineTypeTimer_Timer();
            QCOMPARE(w->MainFormState(), 1);
            QVERIFY(!prompter.messageTexts().contains("Querying the machine type is timeout!"));
            clock.advanceMs(200);
        }
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState() != 1, 10000);
        QCOMPARE(w->MainFormState(), 0);
        // A silent supply may first be reported as not answering.
        QCOMPARE(prompter.messageTexts().last(), QStringLiteral("Querying the machine type is timeout!"));
        QVERIFY(idn.isEmpty() || prompter.messages.size() == 1);
        w->StatusTimer_Timer();  // a silent supply: the status bar says what to check
        QCOMPARE(w->statusText().contains(QStringLiteral("check the cable")), idn.isEmpty());
        QVERIFY(!w->OperatorForm() && !w->tableDataForm1() && !w->waveForm1());
        QVERIFY(w->menuItem("mnuRS232")->isEnabled() && w->menuItem("mnuGPIB")->isEnabled());
        QVERIFY(SettingsStore::read(SettingKeys::CommType).isEmpty() && !w->connection().GetMachineTypeTimer.isActive());
        w->connection().DevSetupMachineType("ACME,XPP-3202,0,1");
        QCoreApplication::processEvents();
        QCOMPARE(w->MainFormState(), 0);
    }

    // The real layout 1 reads its initial values behind dlgQueryInitial: the bar reaches its
    // maximum and the dialog closes by itself; a cancel resets the main window, and so does a
    // link that fails meanwhile (the panel is not deleted under the running initial query).
    void initialQueryDialog()
    {
        InstalledPrompter prompter;
        SimSupply sim("XPP-3202");
        auto w = makeWindow(true);
        int maximum = -1;
        int highest = -1;
        bool monotonic = true;
        onNextDialog("dlgQueryInitial", [&](QDialog *d) {
            auto *bar = d->findChild<QProgressBar *>("ProgressBar1");
            auto *sampler = new QTimer(d);
            QObject::connect(sampler, &QTimer::timeout, d, [=, &maximum, &highest, &monotonic] {
                maximum = bar->maximum();
                monotonic = monotonic && bar->value() >= highest;
                highest = qMax(highest, bar->value());
                if (!d->isVisible())
                    sampler->stop();
            });
            sampler->start(5);
        });
        QVERIFY(connectTo(*w, sim));
        const auto dialog = [&w] { return w->findChild<QDialog *>("dlgQueryInitial"); };
        QTRY_VERIFY_WITH_TIMEOUT(!dialog()->isVisible(), 30000);
        QVERIFY(maximum > 10 && highest >= maximum - 1 && monotonic);
        QCOMPARE(dialog()->findChild<QProgressBar *>()->value(), maximum); // filled before closing
        QVERIFY2(prompter.messages.isEmpty(), qPrintable(prompter.messageTexts().join('|')));

        w->ResetAll();
        QString remaining;
        onNextDialog("dlgQueryInitial", [&](QDialog *d) {
            QTRY_VERIFY(!d->findChild<QLabel *>("Label2")->text().isEmpty());
            remaining = d->findChild<QLabel *>("Label2")->text();
            pressButton(d, "CancelButton");
        });
        w->SetupSerialPort(sim.port(), 115200);
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState() != 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(w->MainFormState(), 0, 30000);
        QVERIFY(!w->OperatorForm() && prompter.messages.isEmpty());
        QVERIFY2(QRegularExpression("^Remaining about \\d+ secs\\.\\.\\.$").match(remaining).hasMatch(),
                 qPrintable(remaining));

        onNextDialog("dlgQueryInitial", [&](QDialog *) { sim.server->dropLink(); });
        w->SetupSerialPort(sim.port(), 115200);
        QTRY_VERIFY_WITH_TIMEOUT(!prompter.messages.isEmpty(), 20000);
        checkResetAfterLinkFailure(*w, prompter);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog()->isVisible(), 20000);
    }

    // Identification and polling over GPIB (no "REMOTE"); a bus error while running resets.
    void gpibLink()
    {
        InstalledPrompter prompter;
        std::shared_ptr<sim::VirtualSupply> supply = sim::VirtualSupply::create("XPP-1501");
        sim::VirtualGpibBus::instance().attach(0, 5, supply);
        MDIForm1::Collaborators c;
        c.panelFactory = testPanelFactory();
        c.interfaces = std::make_unique<FixedGpib>();
        c.links = std::make_unique<VirtualBusLinks>();
        MDIForm1 w(std::move(c));
        w.toolButton("GPIB")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w.MainFormState(), 3, 10000);
        QVERIFY(w.LayoutType() == 2 && w.gpibAddress() == 5 && w.menuItem("mnuGPIB")->isChecked());
        QCOMPARE(supply->receivedLines().first(), QStringLiteral("*IDN?"));
        w.DoOutput(true);
        const int lines = int(supply->receivedLines().size());
        QTRY_VERIFY_WITH_TIMEOUT(supply->receivedLines().size() > lines + 3, 10000);
        sim::VirtualGpibBus::instance().detach(0, 5);
        checkResetAfterLinkFailure(w, prompter);

        // Without a usable GPIB library the user is told so and nothing is attempted.
        prompter.clear();
        MDIForm1::Collaborators plain;
        plain.interfaces = std::make_unique<FixedGpib>();
        MDIForm1 noLibrary(std::move(plain));
        noLibrary.menuItem("mnuGPIB")->trigger();
        if (noLibrary.MainFormState() == 1)
            QSKIP("a GPIB library is installed on this machine");
        QVERIFY(noLibrary.MainFormState() == 0 && !noLibrary.connection().GetMachineTypeTimer.isActive());
        QVERIFY(prompter.messages.size() == 1 && !prompter.messages.first().text.isEmpty());
    }
};

QTEST_MAIN(TestIdentification)
#include "tst_identification.moc"
