// The main window without a supply: menus and toolbar per state and layout, the machine-type
// menu, the "Menu" testing mode, status texts, window fitting, debug window and about box.
#include "MainwinRig.h"

#include "common/Prompter.h"
#include "mainwin/MachineTypeSource.h"
#include "mainwin/dlgQueryInitial.h"
#include "mainwin/dlgWaitRsp.h"
#include "mainwin/frmDebug.h"
#include "settings/SettingsStore.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest>

namespace {

QStringList enabledButtons(const MDIForm1 &w)
{
    QStringList keys;
    for (const char *k : {"GPIB", "RS232", "OnOffLine", "SaveMemory", "RecallMemory", "Delay",
                             "ReadTimes", "Output", "AutoRun", "ClearError", "About"}) {
        if (w.toolButton(k)->isEnabled())
            keys << k;
    }
    return keys;
}

QStringList enabledItems(const MDIForm1 &w)
{
    QStringList names;
    for (const char *n :
         {"mnuGPIB", "mnuRS232", "mnuUSB", "mnuSaveMemory", "mnuRecallMemory", "mnuDelay",
          "mnuReadTimes", "mnuOutMode", "mnuIndep", "mnuParallel", "mnuTrack", "mnuAutoMode",
          "mnuOutput", "mnuAutoRun", "mnuClearErrorOfProtection", "mnuRecord", "mnuControl",
          "mnuWave", "mnuTableData", "mnuToolbar", "mnuStatusbar", "mnuAboutTRMx", "mnuDebug",
          "mnuZEP"}) {
        if (w.menuItem(n) && w.menuItem(n)->isEnabled())
            names << n;
    }
    return names;
}

QStringList zepItemTexts(const MDIForm1 &w)
{
    QStringList texts;
    for (QAction *a : w.findChildren<QAction *>(QStringLiteral("mnuZEPItem"))) {
        if (a->isVisible())
            texts << a->text();
    }
    return texts;
}

class BadLayoutTypes : public MachineTypeSource
{
public:
    QList<MachineTypeRow> rows() const override
    {
        QList<MachineTypeRow> r = Catalogue::shipped();
        r.append({"ZEP-9999", true, 7, false, 30, 3, 0, 0.01, 0.001, 0, ".00", ".000", ".00"});
        return r;
    }
};

// Records how the main window asks for an interface; the user cancels every time.
class CancellingChooser : public InterfaceChooser
{
public:
    std::optional<Serial> chooseSerial(bool isDirect, const QString &caption) override
    {
        asked << QStringLiteral("serial %1 %2").arg(isDirect).arg(caption);
        return std::nullopt;
    }
    std::optional<Gpib> chooseGpib(bool isDirect) override
    {
        asked << QStringLiteral("gpib %1").arg(isDirect);
        return std::nullopt;
    }
    QStringList &asked;
    explicit CancellingChooser(QStringList &log) : asked(log) {}
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void notConnectedState()
    {
        auto w = makeWindow();
        QCOMPARE(w->MainFormState(), 0);
        QCOMPARE(enabledButtons(*w), (QStringList{"GPIB", "RS232", "OnOffLine", "About"}));
        QVERIFY(w->toolButton("OnOffLine")->isChecked());
        QCOMPARE(w->toolButton("OnOffLine")->toolTip(), QStringLiteral("Off line"));
        // Interface, machine-type, view and help items only.
        QCOMPARE(enabledItems(*w), (QStringList{"mnuGPIB", "mnuRS232", "mnuUSB", "mnuReadTimes",
                                                "mnuToolbar", "mnuStatusbar", "mnuAboutTRMx",
                                                "mnuDebug", "mnuZEP"}));
        QVERIFY(w->menuItem("mnuIndep")->isChecked());
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QStringLiteral("Setup"));

        // Captions and accelerators of the menu bar, and the toolbar's order.
        QStringList titles;
        for (QAction *a : w->menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, (QStringList{"&File", "&Interface", "&Depart", "F&unction", "&Action",
                                      "&Record", "&View", "&Help"}));
        QStringList order;
        for (QAction *a : w->findChild<QToolBar *>("Toolbar1")->actions()) {
            if (!a->isSeparator())
                order << a->objectName();
        }
        QCOMPARE(order, (QStringList{"GPIB", "RS232", "OnOffLine", "SaveMemory", "RecallMemory",
                                     "Delay", "ReadTimes", "Output", "AutoRun", "ClearError", "About"}));
        for (const QString &k : order)
            QVERIFY2(!w->toolButton(k)->icon().isNull(), qPrintable(k));
        QVERIFY(w->toolButton("Output")->isCheckable());
        QVERIFY(w->toolButton("AutoRun")->isCheckable());
        QVERIFY(!w->toolButton("Delay")->isCheckable());

        // Actions do nothing before a connection.
        w->DoOutput(true);
        QVERIFY(!w->menuItem("mnuOutput")->isChecked());
        QVERIFY(!w->QueryTimer.isActive());
    }

    void layoutsAndReset_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("layout");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QStringList>("items");
        const QStringList all{"GPIB", "RS232", "OnOffLine", "SaveMemory", "RecallMemory", "Delay",
                              "ReadTimes", "Output", "AutoRun", "ClearError", "About"};
        const QStringList view{"mnuControl", "mnuWave", "mnuTableData", "mnuToolbar",
                               "mnuStatusbar", "mnuAboutTRMx", "mnuDebug", "mnuZEP"};
        QTest::newRow("layout 1") << "XPP-3202" << 1 << all
                                  << (QStringList{"mnuGPIB", "mnuRS232", "mnuUSB", "mnuSaveMemory",
                                                  "mnuRecallMemory", "mnuDelay", "mnuReadTimes",
                                                  "mnuOutMode", "mnuIndep", "mnuParallel", "mnuTrack",
                                                  "mnuAutoMode", "mnuOutput", "mnuAutoRun",
                                                  "mnuClearErrorOfProtection"}
                                      + view);
        QTest::newRow("layout 2") << "XPP-1501" << 2
                                  << (QStringList{"GPIB", "RS232", "OnOffLine", "Output", "ClearError", "About"})
                                  << (QStringList{"mnuGPIB", "mnuRS232", "mnuUSB", "mnuReadTimes",
                                                  "mnuOutput", "mnuClearErrorOfProtection"}
                                      + view);
        QTest::newRow("layout 3") << "ZEP-2303" << 3
                                  << (QStringList{"RS232", "OnOffLine", "Output", "About"})
                                  << (QStringList{"mnuRS232", "mnuUSB", "mnuReadTimes", "mnuOutput"} + view);
        QTest::newRow("layout 4") << "ZEP-4303" << 4
                                  << (QStringList{"RS232", "OnOffLine", "Output", "About"})
                                  << (QStringList{"mnuRS232", "mnuUSB", "mnuReadTimes", "mnuOutput"} + view);
    }

    // A type chosen from the menu builds its layout's windows without a supply; the menus and
    // toolbar follow the layout; a reset leaves nothing behind.
    void layoutsAndReset()
    {
        QFETCH(QString, type);
        QFETCH(int, layout);
        QFETCH(QStringList, buttons);
        QFETCH(QStringList, items);
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        auto w = makeWindow();
        w->Setup("Menu", type, false);
        QCOMPARE(w->MainFormState(), 3);
        QCOMPARE(w->LayoutType(), layout);
        QCOMPARE(w->windowTitle(), type);
        QCOMPARE(enabledButtons(*w), buttons);
        QCOMPARE(enabledItems(*w), items);
        for (const QString &k : buttons)
            QVERIFY2(!w->toolButton(k)->isChecked() || k == "OnOffLine", qPrintable(k));
        // Menu mode is off line.
        QVERIFY(w->toolButton("OnOffLine")->isChecked());
        QVERIFY(!w->menuItem("mnuRS232")->isChecked());
        QCOMPARE(SettingsStore::read(SettingKeys::CommType), QStringLiteral("Menu"));
        QCOMPARE(SettingsStore::read(SettingKeys::MType), type);

        // Panel at the top left, the client area fitted to it; table and graph windows.
        auto *panel = qobject_cast<TestPanel *>(w->OperatorForm());
        QVERIFY(panel);
        QCOMPARE(panel->calls.first(), QStringLiteral("SetupLayout"));
        QVERIFY(panel->calls.contains("AfterQueryInitialValuesBeforeShow"));
        QVERIFY(panel->calls.contains("SetOutputOffDisplay"));
        QMdiSubWindow *sub = qobject_cast<QMdiSubWindow *>(panel->parentWidget());
        QVERIFY(sub && sub->isVisible());
        QCOMPARE(sub->pos(), QPoint(0, 0));
        QTRY_COMPARE(w->mdiArea()->size(), sub->size());
        QVERIFY(w->tableDataForm1() && w->waveForm1());
        QCOMPARE(w->tableDataForm1()->windowTitle(), QStringLiteral("Data Table"));
        QCOMPARE(w->waveForm1()->windowTitle(), QStringLiteral("Graphic Record"));
        QCOMPARE(w->waveForm1()->property("channelCount").toInt(), panel->channelCount());

        // View items bring one window to the front and hide the others.
        w->menuItem("mnuTableData")->trigger();
        QVERIFY(w->tableDataForm1()->isVisible());
        QVERIFY(!sub->isVisible());
        w->menuItem("mnuWave")->trigger();
        QVERIFY(w->waveForm1()->isVisible());
        QVERIFY(!w->tableDataForm1()->isVisible());
        w->menuItem("mnuControl")->trigger();
        QVERIFY(sub->isVisible());
        QVERIFY(!w->waveForm1()->isVisible());

        // A closed graph window comes back from "&Datalog".
        w->waveForm1()->parentWidget()->close();
        QTRY_VERIFY(!w->waveForm1());
        w->menuItem("mnuWave")->trigger();
        QVERIFY(w->waveForm1() && w->waveForm1()->isVisible());

        QPointer<QWidget> oldPanel = panel;
        w->ResetAll();
        QCOMPARE(w->MainFormState(), 0);
        QVERIFY(!w->OperatorForm() && !w->tableDataForm1() && !w->waveForm1());
        QTRY_VERIFY(!oldPanel);
        QTRY_COMPARE(w->mdiArea()->subWindowList().size(), 0);
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QStringLiteral("Setup"));
        QCOMPARE(enabledButtons(*w), (QStringList{"GPIB", "RS232", "OnOffLine", "About"}));
        QVERIFY(prompter.messages.isEmpty());
    }

    // The family's types fill the machine-type menu; a second build reuses the items and
    // only rewrites captions and check marks.
    void machineTypeMenu()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        auto w = makeWindow();
        const QStringList listed = zepItemTexts(*w);
        QStringList expected;
        int offered = 0;
        for (const MachineTypeRow &r : Catalogue::shipped()) {
            if (r.inMenu) {
                ++offered;
                expected << r.mtype;
            }
        }
        QCOMPARE(listed, expected);
        QCOMPARE(w->MachineTypeCount(), offered);
        const QList<QAction *> before = w->findChildren<QAction *>("mnuZEPItem");

        const int index = int(listed.indexOf("ZEP-2306"));
        before.at(index)->trigger();
        QCOMPARE(w->MainFormState(), 3);
        QCOMPARE(w->MachineType(), QStringLiteral("ZEP-2306"));
        QCOMPARE(w->findChildren<QAction *>("mnuZEPItem"), before);
        for (QAction *a : before)
            QCOMPARE(a->isChecked(), a->text() == QLatin1String("ZEP-2306"));

        // Choosing another type while running asks first; No changes nothing.
        prompter.answers = {false};
        before.at(int(listed.indexOf("XPP-3201")))->trigger();
        QCOMPARE(prompter.questions.size(), 1);
        QCOMPARE(prompter.questions.first().text, QStringLiteral("Reset and open it?"));
        QCOMPARE(prompter.questions.first().title, QStringLiteral("REOPEN?"));
        QCOMPARE(w->MachineType(), QStringLiteral("ZEP-2306"));
        QCOMPARE(w->LayoutType(), 3);
        // Yes resets and opens the new type.
        prompter.answers = {true};
        before.at(int(listed.indexOf("XPP-3201")))->trigger();
        QCOMPARE(w->MachineType(), QStringLiteral("XPP-3201"));
        QCOMPARE(w->LayoutType(), 1);
        QCOMPARE(w->MainFormState(), 3);
        QVERIFY(prompter.messages.isEmpty());
    }

    // A remembered type no longer offered, or a layout without a panel, ends in a clear
    // message and the not-connected state.
    void unusableRememberedTypes()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        {
            auto w = makeWindow();
            SettingsStore::write(SettingKeys::CommType, "Menu");
            SettingsStore::write(SettingKeys::MType, "XPP-3202#1");
            w->OnOffLine_Click();
            QCOMPARE(w->MainFormState(), 0);
            QCOMPARE(prompter.messageTexts(), QStringList{"Querying the machine type is timeout!"});
            QVERIFY(!w->OperatorForm());
        }
        prompter.clear();
        MDIForm1::Collaborators c;
        c.panelFactory = testPanelFactory();
        c.machineTypes = std::make_shared<BadLayoutTypes>();
        MDIForm1 w(std::move(c));
        w.Setup("Menu", "ZEP-9999", false);
        QCOMPARE(w.MainFormState(), 0);
        QVERIFY(!w.OperatorForm());
        QCOMPARE(prompter.messages.size(), 1);
        QVERIFY(prompter.messages.first().text.contains("ZEP-9999"));
        QCOMPARE(enabledButtons(w), (QStringList{"GPIB", "RS232", "OnOffLine", "About"}));
    }

    // "&USB..." runs the RS232 dialog captioned "Config USB"; a cancelled dialog connects nothing.
    void interfaceItems()
    {
        QStringList asked;
        MDIForm1::Collaborators c;
        c.interfaces = std::make_unique<CancellingChooser>(asked);
        MDIForm1 w(std::move(c));
        w.menuItem("mnuUSB")->trigger();
        w.menuItem("mnuRS232")->trigger();
        w.toolButton("RS232")->trigger();
        w.menuItem("mnuGPIB")->trigger();
        w.toolButton("GPIB")->trigger();
        SettingsStore::write(SettingKeys::CommType, "GPIB");
        w.toolButton("OnOffLine")->trigger();
        QCOMPARE(asked, (QStringList{"serial 0 Config USB", "serial 0 Config RS232",
                                     "serial 0 Config RS232", "gpib 0", "gpib 0", "gpib 1"}));
        QCOMPARE(w.MainFormState(), 0);
        QVERIFY(w.toolButton("OnOffLine")->isChecked());
        SettingsStore::write(SettingKeys::CommType, "");
    }

    void onOffLineButton()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        SettingsStore::write(SettingKeys::CommType, "");
        auto w = makeWindow();
        // Nothing remembered: the click only restores the pressed look.
        w->toolButton("OnOffLine")->trigger();
        QVERIFY(w->toolButton("OnOffLine")->isChecked());
        QCOMPARE(w->MainFormState(), 0);
        // Remembered: reconnects without asking for the interface.
        SettingsStore::write(SettingKeys::CommType, "Menu");
        SettingsStore::write(SettingKeys::MType, "XPP-1501");
        w->toolButton("OnOffLine")->trigger();
        QCOMPARE(w->MainFormState(), 3);
        QCOMPARE(w->LayoutType(), 2);
        QVERIFY(prompter.messages.isEmpty());
    }

    // State texts, the growing row of asterisks and timed messages, tick by tick.
    void statusTexts()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        auto w = makeWindow();
        w->StatusTimer.stop();
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QStringLiteral("Setup"));
        w->ReportStatus("Read Times Failed!", 2000);
        for (int tick = 0; tick < 20; ++tick) {
            w->StatusTimer_Timer();
            QCOMPARE(w->statusText(), QStringLiteral("Read Times Failed!"));
        }
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QStringLiteral("Setup"));

        w->Setup("Menu", "XPP-3202", false);
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QStringLiteral("Ready"));

        // Identifying: "Getting the machine type..." and 0 to 29 asterisks, cycling.
        w->ResetAll();
        w->BeginGetMachineType("GPIB", QString());
        QCOMPARE(w->MainFormState(), 1);
        QSet<int> counts;
        for (int tick = 0; tick < 60; ++tick) {
            w->StatusTimer_Timer();
            const QString text = w->statusText();
            QVERIFY(text.startsWith("Getting the machine type..."));
            const QString stars = text.mid(QString("Getting the machine type...").size());
            QCOMPARE(stars, QString(stars.size(), '*'));
            QVERIFY(stars.size() < 30);
            counts.insert(int(stars.size()));
        }
        QCOMPARE(counts.size(), 30);
        w->ResetAll();
    }

    void viewTogglesAboutAndDebug()
    {
        auto w = makeWindow();
        w->menuItem("mnuToolbar")->trigger();
        QVERIFY(!w->findChild<QToolBar *>("Toolbar1")->isVisible());
        QVERIFY(!w->menuItem("mnuToolbar")->isChecked());
        w->menuItem("mnuStatusbar")->trigger();
        QVERIFY(!w->statusBar()->isVisible());
        w->menuItem("mnuToolbar")->trigger();
        w->menuItem("mnuStatusbar")->trigger();
        QVERIFY(w->findChild<QToolBar *>("Toolbar1")->isVisible());
        QVERIFY(w->statusBar()->isVisible());

        onNextDialog("frmAbout", [](QDialog *d) {
            QVERIFY(d->findChild<QLabel *>("lblVersion")->text().contains(QCoreApplication::applicationVersion()));
            d->accept();
        });
        w->toolButton("About")->trigger();

        // Trace lines reach the debug window only while it is open; past 20000 it starts over.
        MDIForm1::Report("before");
        w->menuItem("mnuDebug")->trigger();
        frmDebug *debug = w->debugWindow();
        QVERIFY(debug && debug->isVisible());
        QCOMPARE(debug->lineCount(), 0);
        for (int i = 0; i <= frmDebug::MaxLines; ++i)
            MDIForm1::Report(QString::number(i));
        QCOMPARE(debug->lineCount(), frmDebug::MaxLines + 1);
        MDIForm1::Report("next");
        QCOMPARE(debug->lineCount(), 1);
        debug->close();
    }

    void maximizedWindowIsFitted()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        auto w = makeWindow();
        w->Setup("Menu", "XPP-3202", false);
        QWidget *sub = w->OperatorForm()->parentWidget();
        w->showMaximized();
        QTRY_VERIFY(!(w->windowState() & Qt::WindowMaximized));
        QTRY_COMPARE(w->mdiArea()->size(), sub->size());
    }

    // The busy dialogs end by themselves when the link is idle, and report a cancel.
    void busyDialogs()
    {
        CommTasker engine;
        engine.writerTimer().stop();
        dlgQueryInitial query(engine);
        QVERIFY(!query.Execute());  // nothing pending: closes at the first tick, not cancelled
        dlgWaitRsp wait;
        QVERIFY(wait.Execute(engine));

        // A link that consumes nothing keeps the tasks pending until the user gives up.
        QObject target;
        QVERIFY(engine.ExecQueryTask("*IDN?", 5, &target, "objectName", CallLet));
        QString remaining;
        onNextDialog("dlgQueryInitial", [&](QDialog *d) {
            QTRY_VERIFY(!d->findChild<QLabel *>("Label2")->text().isEmpty());
            remaining = d->findChild<QLabel *>("Label2")->text();
            pressButton(d, "CancelButton");
        });
        QVERIFY(query.Execute());
        QVERIFY2(QRegularExpression("^Remaining about \\d+ secs\\.\\.\\.$").match(remaining).hasMatch(),
                 qPrintable(remaining));

        engine.ExecCmdTask("OUT1", 0, nullptr, QString(), CallMethod);
        engine.setIdleWaiter(&wait);
        onNextDialog("dlgWaitRsp", [](QDialog *d) { pressButton(d, "CancelButton"); });
        QVERIFY(!engine.ClearAllTasks());
        QCOMPARE(engine.CmdCount, 1);
        QCOMPARE(engine.QueryCount, 1);
        QVERIFY(!engine.Clearing);
        engine.setIdleWaiter(nullptr);
    }

    // Without a recording period the Record menu's Start only says so.
    void recordStartNeedsPeriod()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        auto w = makeWindow();
        w->Setup("Menu", "XPP-3202", false);
        QVERIFY(!w->menuItem("mnuRecord")->isEnabled());
        w->DoOutput(true);
        QVERIFY(w->menuItem("mnuRecord")->isEnabled());
        QVERIFY(w->toolButton("Output")->isChecked());
        // Menu mode never polls.
        QVERIFY(!w->QueryTimer.isActive());
        w->menuItem("mnuRecordStart")->trigger();
        QCOMPARE(prompter.messageTexts(), QStringList{"Please Setup Record the period first."});
        w->menuItem("mnuOutput")->trigger();
        QVERIFY(!w->menuItem("mnuOutput")->isChecked());
        QVERIFY(!w->menuItem("mnuRecord")->isEnabled());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
