// The main window without a supply: menus and toolbar per state and layout, the machine-type
// menu, the "Menu" testing mode, the ways on line, status texts and view items.
#include "MainwinRig.h"

#include "connection/MachineTypeSource.h"
#include "mainwin/frmDebug.h"
#include "settings/SettingsStore.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QToolBar>
#include <QTableView>
#include <QHeaderView>
#include <QScreen>
#include <QtTest>

namespace {

const QStringList NotConnectedButtons{"GPIB", "RS232", "OnOffLine", "About"};

QStringList enabledButtons(const MDIForm1 &w)
{
    QStringList keys;
    for (QAction *a : w.findChild<QToolBar *>("Toolbar1")->actions()) {
        if (!a->isSeparator() && a->isEnabled())
            keys << a->objectName();
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
    explicit CancellingChooser(QStringList &log) : asked(log) {}
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
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void layoutsAndReset_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("layout");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QStringList>("items");
        const QStringList view{"mnuControl", "mnuWave", "mnuTableData", "mnuToolbar",
                               "mnuStatusbar", "mnuAboutTRMx", "mnuDebug", "mnuZEP"};
        const QStringList few{"RS232", "OnOffLine", "Output", "About"};
        const QStringList fewItems = QStringList{"mnuRS232", "mnuUSB", "mnuReadTimes", "mnuOutput"} + view;
        QTest::newRow("layout 1") << "XPP-3202" << 1
                                  << QStringList{"GPIB", "RS232", "OnOffLine", "SaveMemory", "RecallMemory", "Delay",
                                                 "ReadTimes", "Output", "AutoRun", "ClearError", "About"}
                                  << QStringList{"mnuGPIB", "mnuRS232", "mnuUSB", "mnuSaveMemory",
                                                 "mnuRecallMemory", "mnuDelay", "mnuReadTimes",
                                                 "mnuOutMode", "mnuIndep", "mnuParallel", "mnuTrack",
                                                 "mnuAutoMode", "mnuOutput", "mnuAutoRun",
                                                 "mnuClearErrorOfProtection"} + view;
        QTest::newRow("layout 2") << "XPP-1501" << 2
                                  << QStringList{"GPIB", "RS232", "OnOffLine", "Output", "ClearError", "About"}
                                  << QStringList{"mnuGPIB", "mnuRS232", "mnuUSB", "mnuReadTimes", "mnuOutput",
                                                 "mnuClearErrorOfProtection"} + view;
        QTest::newRow("layout 3") << "ZEP-2303" << 3 << few << fewItems;
        QTest::newRow("layout 4") << "ZEP-4303" << 4 << few << fewItems;
    }

    // Not connected, then a type chosen from the menu: its layout's windows without a supply,
    // menus and toolbar following the layout, the client area fitted to the panel and the
    // window free to be maximized with the panel keeping its size; the view items, each data
    // window filling the client area at the size it was last given; a reset leaves nothing
    // behind.
    void layoutsAndReset()
    {
        QFETCH(QString, type);
        QFETCH(int, layout);
        QFETCH(QStringList, buttons);
        QFETCH(QStringList, items);
        InstalledPrompter prompter;
        auto w = makeWindow();
        const auto checkNotConnected = [&] {
            QCOMPARE(enabledButtons(*w), NotConnectedButtons);
            QCOMPARE(enabledItems(*w), (QStringList{"mnuGPIB", "mnuRS232", "mnuUSB", "mnuReadTimes", "mnuToolbar",
                                                    "mnuStatusbar", "mnuAboutTRMx", "mnuDebug", "mnuZEP"}));
            QVERIFY(w->MainFormState() == 0 && w->toolButton("OnOffLine")->isChecked());
            QCOMPARE(w->toolButton("OnOffLine")->toolTip(), QStringLiteral("Off line"));
            w->StatusTimer_Timer();
            QCOMPARE(w->statusText(), QStringLiteral("Setup"));
        };
        checkNotConnected();
        w->DoOutput(true); // actions do nothing before a connection
        QVERIFY(!w->menuItem("mnuOutput")->isChecked() && !w->connection().QueryTimer.isActive());

        w->Setup("Menu", type, false);
        QCOMPARE(stateOf(*w), QStringLiteral("3 %1 ").arg(layout) + type);
        QCOMPARE(w->windowTitle(), type);
        QCOMPARE(enabledButtons(*w), buttons);
        QCOMPARE(enabledItems(*w), items);
        for (const QString &k : buttons)
            QVERIFY2(!w->toolButton(k)->isChecked() || k == "OnOffLine", qPrintable(k));
        // Menu mode is off line.
        QVERIFY(w->toolButton("OnOffLine")->isChecked() && !w->menuItem("mnuRS232")->isChecked());
        QVERIFY(w->menuItem("mnuIndep")->isChecked());
        QCOMPARE(SettingsStore::read(SettingKeys::CommType) + ' ' + SettingsStore::read(SettingKeys::MType), "Menu " + type);
        auto *panel = qobject_cast<TestPanel *>(w->OperatorForm());
        QVERIFY(panel && panel->calls == QStringList("SetupLayout"));
        // Without a supply the readings show blank and the stored polling budget applies.
        QVERIFY(w->supply() && w->supply()->channel(0).voltageReading.text.isEmpty());
        QCOMPARE(w->engine().ReadTimesMs, SettingsStore::readInt(SettingKeys::ReadTimes) * 1000);
        QMdiSubWindow *sub = qobject_cast<QMdiSubWindow *>(panel->parentWidget());
        QVERIFY(sub && sub->isVisible() && sub->pos() == QPoint(0, 0));
        QTRY_COMPARE(w->mdiArea()->size(), sub->size());
        const QSize panelSize = sub->size();
        w->showMaximized();
        QTRY_VERIFY(w->windowState() & Qt::WindowMaximized);
        QCoreApplication::processEvents();  // the window's own reaction, if any, runs now
        QVERIFY((w->windowState() & Qt::WindowMaximized) && sub->size() == panelSize);
        w->showNormal();
        QTRY_COMPARE(w->mdiArea()->size(), panelSize);
        QVERIFY(w->tableDataForm1() && w->waveForm1());

        // View items bring one window to the front and hide the others.
        w->menuItem("mnuTableData")->trigger();
        QVERIFY(w->tableDataForm1()->isVisible() && !sub->isVisible());
        w->menuItem("mnuWave")->trigger();
        QVERIFY(w->waveForm1()->isVisible() && !w->tableDataForm1()->isVisible());
        w->menuItem("mnuControl")->trigger();
        QVERIFY(sub->isVisible() && !w->waveForm1()->isVisible());
        // The table comes back at the size it was given, filling the client area.
        w->menuItem("mnuTableData")->trigger();
        const QSize tableSize = w->size() - QSize(37, 23);
        w->resize(tableSize);
        w->menuItem("mnuControl")->trigger();
        QTRY_COMPARE(w->mdiArea()->size(), panelSize);
        w->menuItem("mnuTableData")->trigger();
        QCOMPARE(w->size(), tableSize);
        QTRY_COMPARE(w->tableDataForm1()->parentWidget()->size(), w->mdiArea()->viewport()->size());
        w->menuItem("mnuControl")->trigger();

        QPointer<QWidget> oldPanel = panel;
        w->ResetAll();
        QVERIFY(!w->OperatorForm() && !w->tableDataForm1() && !w->waveForm1());
        QTRY_VERIFY(!oldPanel);
        QTRY_COMPARE(w->mdiArea()->subWindowList().size(), 0);
        checkNotConnected();
        QVERIFY(prompter.messages.isEmpty());
    }

    // The family's types fill the machine-type menu; a second build reuses the items and only
    // rewrites captions and check marks; another type while running asks first.
    void machineTypeMenu()
    {
        InstalledPrompter prompter;
        auto w = makeWindow();
        QStringList listed, expected;
        const QList<QAction *> before = w->findChildren<QAction *>("mnuZEPItem");
        for (QAction *a : before) {
            if (a->isVisible())
                listed << a->text();
        }
        for (const MachineTypeRow &r : Catalogue::shipped()) {
            if (r.inMenu)
                expected << r.mtype;
        }
        QVERIFY(listed == expected && w->MachineTypeCount() == expected.size());

        before.at(int(listed.indexOf("ZEP-2306")))->trigger();
        QCOMPARE(stateOf(*w), QStringLiteral("3 3 ZEP-2306"));
        QCOMPARE(w->findChildren<QAction *>("mnuZEPItem"), before);
        for (QAction *a : before)
            QCOMPARE(a->isChecked(), a->text() == QLatin1String("ZEP-2306"));

        prompter.answers = {false, true};
        before.at(int(listed.indexOf("XPP-3201")))->trigger(); // No changes nothing
        QCOMPARE(prompter.questions.size(), 1);
        QCOMPARE(prompter.questions.first().text, QStringLiteral("Reset and open it?"));
        QCOMPARE(stateOf(*w), QStringLiteral("3 3 ZEP-2306"));
        before.at(int(listed.indexOf("XPP-3201")))->trigger(); // Yes resets and opens it
        QCOMPARE(stateOf(*w), QStringLiteral("3 1 XPP-3201"));
        QVERIFY(prompter.messages.isEmpty());
    }

    // Interface items and the on-line button: which dialog is asked for, reconnecting with
    // what is remembered, and remembered types that cannot be used.
    void waysOnLine()
    {
        InstalledPrompter prompter;
        {
            QStringList asked;
            MDIForm1::Collaborators c;
            c.interfaces = std::make_unique<CancellingChooser>(asked);
            MDIForm1 w(std::move(c));
            SettingsStore::write(SettingKeys::CommType, "");
            w.toolButton("OnOffLine")->trigger(); // nothing remembered: only the pressed look
            QVERIFY(w.toolButton("OnOffLine")->isChecked());
            for (const char *item : {"mnuUSB", "mnuRS232", "mnuGPIB"})
                w.menuItem(item)->trigger();
            w.toolButton("RS232")->trigger();
            w.toolButton("GPIB")->trigger();
            SettingsStore::write(SettingKeys::CommType, "GPIB");
            w.toolButton("OnOffLine")->trigger();
            QCOMPARE(asked, (QStringList{"serial 0 Config USB", "serial 0 Config RS232", "gpib 0",
                                         "serial 0 Config RS232", "gpib 0", "gpib 1"}));
            QVERIFY(w.MainFormState() == 0 && w.toolButton("OnOffLine")->isChecked());
        }
        auto w = makeWindow();
        SettingsStore::write(SettingKeys::CommType, "Menu");
        SettingsStore::write(SettingKeys::MType, "XPP-1501");
        w->toolButton("OnOffLine")->trigger(); // reconnects without asking
        QCOMPARE(stateOf(*w), QStringLiteral("3 2 XPP-1501"));
        QVERIFY(prompter.messages.isEmpty());
        w->ResetAll();
        SettingsStore::write(SettingKeys::MType, "XPP-3202#1"); // no longer offered
        w->OnOffLine_Click();
        QCOMPARE(prompter.messageTexts(), QStringList{"Querying the machine type is timeout!"});
        QVERIFY(w->MainFormState() == 0 && !w->OperatorForm());

        prompter.clear();
        MDIForm1::Collaborators c;
        c.panelFactory = testPanelFactory();
        c.machineTypes = std::make_shared<BadLayoutTypes>();
        MDIForm1 bad(std::move(c));
        bad.Setup("Menu", "ZEP-9999", false); // a layout without a panel
        QVERIFY(bad.MainFormState() == 0 && !bad.OperatorForm());
        QVERIFY(prompter.messages.size() == 1 && prompter.messages.first().text.contains("ZEP-9999"));
        QCOMPARE(enabledButtons(bad), NotConnectedButtons);
        SettingsStore::write(SettingKeys::CommType, "");
    }

    // State texts, timed messages and the cycling row of asterisks, tick by tick; without a
    // recording period the Record menu's Start only says so. The keyboard alone: F5 is the
    // on-line button, F8 switches the output, the desktop's Quit key closes the window; the
    // menus show the keys.
    void statusTextsRecordAndShortcuts()
    {
        InstalledPrompter prompter;
        SettingsStore::write(SettingKeys::CommType, "");
        auto w = makeWindow();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_F5);
        QVERIFY(w->toolButton("OnOffLine")->isChecked());
        w->StatusTimer.stop();
        w->ReportStatus("Read Times Failed!", 2000);
        for (int tick = 0; tick < 20; ++tick) {
            w->StatusTimer_Timer();
            QCOMPARE(w->statusText(), QStringLiteral("Read Times Failed!"));
        }
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QStringLiteral("Setup"));

        w->connection().BeginGetMachineType("GPIB", QString());
        QCOMPARE(w->MainFormState(), 1);
        const QString getting("Getting the machine type...");
        QSet<int> counts;
        for (int tick = 0; tick < 60; ++tick) {
            w->StatusTimer_Timer();
            const QString stars = w->statusText().mid(getting.size());
            QVERIFY2(w->statusText().startsWith(getting) && stars == QString(stars.size(), '*') && stars.size() < 30,
                     qPrintable(w->statusText()));
            counts.insert(int(stars.size()));
        }
        QCOMPARE(counts.size(), 30);
        w->ResetAll();

        w->Setup("Menu", "XPP-3202", false);
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QStringLiteral("Ready"));
        QVERIFY(!w->menuItem("mnuRecord")->isEnabled());
        QTest::keyClick(w.get(), Qt::Key_F8);
        QVERIFY(w->menuItem("mnuRecord")->isEnabled() && w->toolButton("Output")->isChecked());
        QVERIFY(w->menuItem("mnuOutput")->isChecked() && !w->connection().QueryTimer.isActive()); // Menu mode never polls
        w->menuItem("mnuRecordStart")->trigger();
        QCOMPARE(prompter.messageTexts(), QStringList{"Please Setup Record the period first."});
        QTest::keyClick(w.get(), Qt::Key_F8);
        QVERIFY(!w->menuItem("mnuOutput")->isChecked() && !w->menuItem("mnuRecord")->isEnabled());
        QCOMPARE(w->menuItem("mnuOutput")->shortcut(), QKeySequence(Qt::Key_F8));
        const QKeySequence quit = w->menuItem("mnuExit")->shortcut();
        QVERIFY(!w->menuItem("mnuRecordSave")->shortcut().isEmpty() && !quit.isEmpty());
        QTest::keySequence(w.get(), quit);
        QTRY_VERIFY(!w->isVisible());
    }

    void aboutAndDebug()
    {
        auto w = makeWindow();
        bool shown = false;
        onNextDialog("frmAbout", [&](QDialog *d) {
            shown = true;
            QVERIFY(d->findChild<QLabel *>("lblVersion")->text().contains(QCoreApplication::applicationVersion()));
            d->accept();
        });
        w->toolButton("About")->trigger();
        QVERIFY(shown);

        // Trace lines reach the debug window only while it is open; past 20000 it starts over.
        MDIForm1::Report("before");
        w->menuItem("mnuDebug")->trigger();
        frmDebug *debug = w->debugWindow();
        QVERIFY(debug && debug->isVisible() && debug->lineCount() == 0);
        for (int i = 0; i <= frmDebug::MaxLines; ++i)
            MDIForm1::Report(QString::number(i));
        QCOMPARE(debug->lineCount(), frmDebug::MaxLines + 1);
        MDIForm1::Report("next");
        QCOMPARE(debug->lineCount(), 1);
        debug->close();
    }

    // The view items hide and show the toolbar and status bar. What the user arranged survives
    // a restart: the window's place, a hidden toolbar and status bar, the table's column
    // widths. A window saved beyond today's screen comes back onto it.
    void rememberedWindows()
    {
        InstalledPrompter prompter;
        const auto grid = [](MDIForm1 &w) { return w.tableDataForm1()->findChild<QTableView *>(); };
        const auto toggleBars = [](MDIForm1 &w) {
            for (const char *item : {"mnuToolbar", "mnuStatusbar"})
                w.menuItem(item)->trigger();
            return int(w.findChild<QToolBar *>("Toolbar1")->isVisible()) + int(w.statusBar()->isVisible()); // bars shown
        };
        {
            auto w = makeWindow();
            w->move(40, 30);
            QVERIFY(toggleBars(*w) == 0 && !w->menuItem("mnuToolbar")->isChecked());
            w->Setup("Menu", "XPP-3202", false);
            grid(*w)->horizontalHeader()->resizeSection(1, 333);
            w->close();
        }
        {
            auto w = makeWindow();
            QCOMPARE(w->pos(), QPoint(40, 30));
            QVERIFY(!w->menuItem("mnuToolbar")->isChecked() && w->findChild<QToolBar *>("Toolbar1")->isHidden());
            QVERIFY(!w->menuItem("mnuStatusbar")->isChecked() && w->statusBar()->isHidden());
            w->Setup("Menu", "XPP-3202", false);
            QCOMPARE(grid(*w)->horizontalHeader()->sectionSize(1), 333);
            QCOMPARE(toggleBars(*w), 2);
            w->move(5000, 4000);  // a screen that is gone by the next start
            w->resize(3000, 2000);
            w->close();
        }
        auto w = makeWindow();
        const QRect screen = w->screen()->availableGeometry();
        QVERIFY2(screen.contains(w->frameGeometry().topLeft()) && w->width() <= screen.width(),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height())));
        QVERIFY(w->findChild<QToolBar *>("Toolbar1")->isVisible() && w->statusBar()->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
