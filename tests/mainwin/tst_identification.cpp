// Connecting over RS232 to the virtual supply on a pseudo-terminal and identifying it: every
// catalogue model, unsupported and silent supplies, the reconnect question, the initial-query
// dialog and a link that fails while running.
#include "MainwinRig.h"

#include "common/Clock.h"
#include "common/Prompter.h"
#include "link/Commands.h"
#include "settings/SettingsStore.h"
#include "sim/SupplySpec.h"
#include "sim/VirtualGpibBus.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QMdiArea>
#include <QProgressBar>
#include <QtTest>

namespace {

sim::SupplySpec specWithIdn(const QString &idn)
{
    sim::SupplySpec model = *sim::specForType("XPP-3202");
    model.idn = idn;
    return model;
}

void forgetConnection()
{
    SettingsStore::write(SettingKeys::CommType, "");
    SettingsStore::write(SettingKeys::MType, "");
}

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

} // namespace

class TestIdentification : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    // The on-line button reconnects with the remembered port and speed without showing the
    // RS232 dialog; the supply is told "REMOTE" and asked "*IDN?".
    void connectWithStoredPort()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        SimSupply sim("XPP-3202");
        SettingsStore::write(SettingKeys::CommType, "RS232");
        SettingsStore::write(SettingKeys::MType, "XPP-3202");
        SettingsStore::write(SettingKeys::ComPort, sim.port());
        SettingsStore::writeInt(SettingKeys::BaudRate, 115200);
        auto w = makeWindow();
        w->toolButton("OnOffLine")->trigger();
        QCOMPARE(w->MainFormState(), 1);
        QVERIFY(!w->menuItem("mnuGPIB")->isEnabled());
        QVERIFY(!w->menuItem("mnuRS232")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(w->MainFormState(), 3, 10000);
        QCOMPARE(w->LayoutType(), 1);
        QCOMPARE(w->baudRate(), 115200);
        QCOMPARE(sim.linesSince(0).mid(0, 2), (QStringList{"REMOTE", "*IDN?"}));
        QVERIFY(sim.supply->remote());
        QVERIFY(w->menuItem("mnuRS232")->isChecked());
        QVERIFY(w->menuItem("mnuRS232")->isEnabled());
        QVERIFY(!w->toolButton("OnOffLine")->isChecked());
        QCOMPARE(w->toolButton("OnOffLine")->toolTip(), QStringLiteral("On line"));
        QVERIFY(w->OperatorForm()->isVisible());
        QCOMPARE(SettingsStore::read(SettingKeys::CommType), QStringLiteral("RS232"));
        QVERIFY(prompter.messages.isEmpty());

        // The on-line button while running asks before reconnecting; No keeps it on line.
        prompter.answers = {false};
        w->toolButton("OnOffLine")->trigger();
        QCOMPARE(prompter.questions.size(), 1);
        QCOMPARE(w->MainFormState(), 3);
        QVERIFY(!w->toolButton("OnOffLine")->isChecked());
        w->ResetAll();
        QVERIFY(w->toolButton("OnOffLine")->isChecked());
    }

    // Every catalogue model offered in the menu is identified to its layout and dialect.
    void everyCatalogueModel()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        const QHash<QString, Commands::Dialect> dialects{
            {"XPP-3201", Commands::DialectChannelScpi}, {"XPP-3202", Commands::DialectChannelScpi},
            {"XPP-1501", Commands::DialectChannelScpi}, {"SPP-KRX20", Commands::DialectPlainScpi},
            {"SPP-KRX72", Commands::DialectPlainScpi},  {"ZEP-2303", Commands::DialectShort},
            {"ZEP-2306", Commands::DialectShort},       {"ZEP-4303", Commands::DialectShort},
        };
        auto w = makeWindow();
        int identified = 0;
        for (const MachineTypeRow &row : Catalogue::shipped()) {
            if (!row.inMenu)
                continue;
            SimSupply sim(row.mtype);
            w->SetupSerialPort(sim.port(), 115200);
            QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState() != 1, 10000);
            QVERIFY2(w->MainFormState() == 3, qPrintable(row.mtype + prompter.messageTexts().join('|')));
            QCOMPARE(w->MachineType(), row.mtype);
            QCOMPARE(w->LayoutType(), row.layout);
            QCOMPARE(w->OperatorForm()->layoutNumber(), row.layout);
            QVERIFY2(dialects.contains(row.mtype), qPrintable(row.mtype));
            QCOMPARE(w->dialect(), dialects.value(row.mtype));
            QCOMPARE(w->menuItem("mnuGPIB")->isEnabled(), row.layout < 3);
            w->ResetAll();
            ++identified;
        }
        QCOMPARE(identified, dialects.size());
        QVERIFY(prompter.messages.isEmpty());
    }

    void unsupportedAnswers_data()
    {
        QTest::addColumn<QString>("idn");
        QTest::newRow("unknown type") << "ACME,QQQ-9999,0,1.0";
        QTest::newRow("no comma") << "XPP-3202";
    }

    // A type the table does not offer, and an answer without a type field, fail with the
    // message and a full reset; the connection is not remembered.
    void unsupportedAnswers()
    {
        QFETCH(QString, idn);
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        forgetConnection();
        SimSupply sim(specWithIdn(idn));
        auto w = makeWindow();
        w->SetupSerialPort(sim.port(), 115200);
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState() != 1, 10000);
        QCOMPARE(w->MainFormState(), 0);
        QCOMPARE(prompter.messageTexts(), QStringList{"Querying the machine type is timeout!"});
        QVERIFY(!w->OperatorForm() && !w->tableDataForm1() && !w->waveForm1());
        QVERIFY(w->menuItem("mnuRS232")->isEnabled() && w->menuItem("mnuGPIB")->isEnabled());
        QCOMPARE(SettingsStore::read(SettingKeys::CommType), QString());
        QVERIFY(!w->GetMachineTypeTimer.isActive());
    }

    // A supply that never answers: the 7.5-second deadline (on the program's clock) ends the
    // identification with the message and a full reset.
    void silentPort()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        FakeClock clock;
        ScopedClock scopedClock(clock);
        forgetConnection();
        SimSupply sim("XPP-3202");
        sim.supply->faults().dropAnswers = 1000;
        auto w = makeWindow();
        w->SetupSerialPort(sim.port(), 115200);
        QTRY_VERIFY_WITH_TIMEOUT(sim.linesSince(0).contains("*IDN?"), 10000);
        clock.advanceMs(7400);
        w->GetMachineTypeTimer_Timer();
        QCOMPARE(w->MainFormState(), 1);
        QVERIFY(!prompter.messageTexts().contains("Querying the machine type is timeout!"));
        clock.advanceMs(200);
        QTRY_COMPARE(w->MainFormState(), 0);
        QVERIFY(prompter.messageTexts().contains("Querying the machine type is timeout!"));
        QVERIFY(!w->OperatorForm());
        QCOMPARE(SettingsStore::read(SettingKeys::CommType), QString());
        // A late answer after the reset is ignored.
        w->DevSetupMachineType("ACME,XPP-3202,0,1");
        QTest::qWait(200);
        QCOMPARE(w->MainFormState(), 0);
    }

    // A new connection while a supply runs asks first; No leaves it running and sends nothing.
    void reconnectWhileRunning()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        SimSupply sim("ZEP-2303");
        auto w = makeWindow();
        w->SetupSerialPort(sim.port(), 115200);
        QTRY_COMPARE_WITH_TIMEOUT(w->MainFormState(), 3, 10000);
        const int lines = sim.lineCount();
        prompter.answers = {false};
        w->SetupSerialPort(sim.port(), 115200);
        QCOMPARE(prompter.questions.size(), 1);
        QCOMPARE(prompter.questions.first().text, QStringLiteral("Reset and open it?"));
        QCOMPARE(w->MainFormState(), 3);
        QCOMPARE(sim.lineCount(), lines);
        prompter.answers = {true};
        w->SetupSerialPort(sim.port(), 115200);
        QCOMPARE(prompter.questions.size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState() != 1, 10000);
        QVERIFY2(w->MainFormState() == 3, qPrintable(prompter.messageTexts().join('|') + sim.linesSince(lines).join('|')));
        QCOMPARE(sim.linesSince(lines), (QStringList{"REMOTE", "*IDN?"}));
        // While identifying, no question is asked.
        w->ResetAll();
        w->SetupSerialPort(sim.port(), 115200);
        QCOMPARE(w->MainFormState(), 1);
        w->Setup("Menu", "ZEP-2306", false);
        QCOMPARE(prompter.questions.size(), 2);
        QCOMPARE(w->MachineType(), QStringLiteral("ZEP-2306"));
        w->ResetAll();
    }

    // The real layout 1 reads its initial values behind dlgQueryInitial: the bar reaches its
    // maximum and the dialog closes by itself; a cancel resets the main window.
    void initialQueryDialog()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
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
        w->SetupSerialPort(sim.port(), 115200);
        QTRY_COMPARE_WITH_TIMEOUT(w->MainFormState(), 3, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!w->findChild<QDialog *>("dlgQueryInitial")->isVisible(), 30000);
        QTRY_VERIFY(w->OperatorForm()->isVisible());
        QVERIFY(maximum > 10);
        QVERIFY(highest >= maximum - 1);
        // The last answer fills the bar before the dialog closes.
        QCOMPARE(w->findChild<QDialog *>("dlgQueryInitial")->findChild<QProgressBar *>()->value(), maximum);
        QVERIFY(monotonic);
        QVERIFY2(prompter.messages.isEmpty(), qPrintable(prompter.messageTexts().join('|')));

        // Cancel: the main window resets.
        w->ResetAll();
        onNextDialog("dlgQueryInitial", [](QDialog *d) { pressButton(d, "CancelButton"); });
        w->SetupSerialPort(sim.port(), 115200);
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState() != 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(w->MainFormState(), 0, 30000);
        QVERIFY(!w->OperatorForm());
    }

    // The link fails while the initial values are being read: the same message and reset,
    // and the panel is not deleted under the running initial query.
    void linkFailsDuringInitialQuery()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        SimSupply sim("XPP-3202");
        auto w = makeWindow(true);
        onNextDialog("dlgQueryInitial", [&](QDialog *) { sim.server->dropLink(); });
        w->SetupSerialPort(sim.port(), 115200);
        QTRY_VERIFY_WITH_TIMEOUT(prompter.messageTexts().contains("Operation Timeout, Causes Reset Now."), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(w->MainFormState(), 0, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!w->findChild<QDialog *>("dlgQueryInitial")->isVisible(), 20000);
        QVERIFY(!w->OperatorForm());
        QTRY_COMPARE(w->mdiArea()->subWindowList().size(), 0);
        QCOMPARE(w->windowTitle(), QStringLiteral("ZEP 2016"));
    }

    // Identification and polling over GPIB; a bus error while running resets the window.
    void gpibLink()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        std::shared_ptr<sim::VirtualSupply> supply = sim::VirtualSupply::create("XPP-1501");
        sim::VirtualGpibBus::instance().attach(0, 5, supply);
        MDIForm1::Collaborators c;
        c.panelFactory = testPanelFactory();
        c.interfaces = std::make_unique<FixedGpib>();
        c.links = std::make_unique<VirtualBusLinks>();
        MDIForm1 w(std::move(c));
        w.toolButton("GPIB")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w.MainFormState(), 3, 10000);
        QCOMPARE(w.LayoutType(), 2);
        QCOMPARE(w.gpibAddress(), 5);
        QVERIFY(w.menuItem("mnuGPIB")->isChecked());
        QCOMPARE(supply->receivedLines().first(), QStringLiteral("*IDN?"));  // no "REMOTE" on GPIB
        w.DoOutput(true);
        const int lines = int(supply->receivedLines().size());
        QTRY_VERIFY_WITH_TIMEOUT(supply->receivedLines().size() > lines + 3, 10000);
        sim::VirtualGpibBus::instance().detach(0, 5);
        QTRY_COMPARE_WITH_TIMEOUT(w.MainFormState(), 0, 10000);
        QCOMPARE(prompter.messageTexts().first(), QStringLiteral("Operation Timeout, Causes Reset Now."));
    }

    // Without a usable GPIB library the user is told so and nothing is attempted.
    void gpibWithoutLibrary()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        MDIForm1::Collaborators c;
        c.interfaces = std::make_unique<FixedGpib>();
        MDIForm1 w(std::move(c));
        w.menuItem("mnuGPIB")->trigger();
        if (w.MainFormState() == 1)
            QSKIP("a GPIB library is installed on this machine");
        QCOMPARE(w.MainFormState(), 0);
        QCOMPARE(prompter.messages.size(), 1);
        QVERIFY(!prompter.messages.first().text.isEmpty());
        QVERIFY(!w.GetMachineTypeTimer.isActive());
    }

    // A serial link that fails while a panel runs: the time-out message, then a full reset.
    void linkFailsWhileRunning()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        SimSupply sim("XPP-3202");
        auto w = makeWindow();
        w->SetupSerialPort(sim.port(), 115200);
        QTRY_COMPARE_WITH_TIMEOUT(w->MainFormState(), 3, 10000);
        w->DoOutput(true);
        QVERIFY(w->QueryTimer.isActive());
        const int lines = sim.lineCount();
        QTRY_VERIFY_WITH_TIMEOUT(sim.lineCount() > lines + 3, 10000);
        sim.server->dropLink();
        QTRY_COMPARE_WITH_TIMEOUT(w->MainFormState(), 0, 5000);
        QVERIFY(prompter.messages.size() >= 1);
        QCOMPARE(prompter.messages.first().text, QStringLiteral("Operation Timeout, Causes Reset Now."));
        QCOMPARE(prompter.messages.first().title, QStringLiteral("TIMEOUT!"));
        QVERIFY(!w->QueryTimer.isActive());
        QVERIFY(!w->OperatorForm());
        QVERIFY(!w->menuItem("mnuOutput")->isChecked());
    }
};

QTEST_MAIN(TestIdentification)
#include "tst_identification.moc"
