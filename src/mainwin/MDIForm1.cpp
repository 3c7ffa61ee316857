#include "mainwin/MDIForm1.h"

#include "common/Clock.h"
#include "common/Prompter.h"
#include "datalog/RecordingSession.h"
#include "datalog/frmDataTable.h"
#include "link/GpibBoard.h"
#include "link/SerialIo.h"
#include "connection/CommTypes.h"
#include "mainwin/DefaultCollaborators.h"
#include "mainwin/EnableTables.h"
#include "connection/MachineTypeSource.h"
#include "supply/SupplyReadings.h"
#include "mainwin/ToolbarIcons.h"
#include "mainwin/dlgQueryInitial.h"
#include "supply/Supply.h"
#include "mainwin/dlgWaitRsp.h"
#include "mainwin/frmAbout.h"
#include "mainwin/frmDebug.h"
#include "mainwin/WindowMemory.h"
#include "panels/FrontPanel.h"
#include "resources/Strings.h"
#include "ports/AutoDetect.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

using namespace CommTypes;

namespace {

// The client area a data window opens with when it has none remembered: room for the
// graph's controls in every cursor mode and for the table's fifteen columns.
constexpr int DataWindowWidth = 1180;
constexpr int DataWindowHeight = 600;

QPointer<MDIForm1> g_mainWindow;

} // namespace

MDIForm1::MDIForm1(Collaborators collaborators, QWidget *parent)
    : QMainWindow(parent), m_c(std::move(collaborators)), m_mdi(new QMdiArea(this))
{
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(QStringLiteral("ZEP 2016"));
    DefaultCollaborators::complete(m_c, this);
    g_mainWindow = this;
    m_connection = new SupplyConnection(*this, *m_c.machineTypes, *m_c.interfaces, m_c.links.get(), this);
    m_actions = new InstrumentActions(*m_connection, *m_c.dialogs, this);
    m_readings = std::make_unique<SupplyReadings>(m_connection->supplyPointer());
    m_session = new RecordingSession(*m_c.records, m_c.place.get(), *m_readings, this);

    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    createMenus();
    createToolbar();
    bindActions();
    createShortcuts();
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(m_statusLabel, 1);

    m_waitRsp = new dlgWaitRsp(m_connection->engine(), this);
    m_queryInitial = new dlgQueryInitial(m_connection->initialValuesWatch(), this);
    m_recordLength = new dlgRecordLength(this, this);
    m_c.interfaces->setReleasePort([this] { m_connection->closeLinks(); });
    // Without the supply there is nothing to record; the samples stay in the session.
    connect(m_connection, &SupplyConnection::wasReset, m_session, [this] { m_session->EndRecordData(); });

    StatusTimer.setInterval(StatusIntervalMs);
    connect(&StatusTimer, &QTimer::timeout, this, &MDIForm1::StatusTimer_Timer);

    m_connection->setFamilyWord(m_menuZEP->title());
    ResetMenu();
    ResetToolbar();
    SetupMenuMachineTypes();
    StatusTimer.start();
    StatusTimer_Timer();
    resize(760, 520);
    WindowMemory::restoreMain(*this);
    m_menu.toolbar->setChecked(!m_toolbar->isHidden());
    m_menu.statusbar->setChecked(!statusBar()->isHidden());
}

MDIForm1::~MDIForm1()
{
    StatusTimer.stop();
    m_actions->RecallTimer.stop();
    releaseWindows();
    m_connection->shutDown();
    delete m_debug;
}

// ---------------------------------------------------------------- menus and toolbar

QAction *MDIForm1::addItem(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(name);
    m_items.insert(name, a);
    return a;
}

void MDIForm1::createMenus()
{
    QMenuBar *bar = menuBar();
    auto menu = [this, bar](const QString &name, const QString &caption) {
        QMenu *m = bar->addMenu(caption);
        m->setObjectName(name);
        m_items.insert(name, m->menuAction());
        m->menuAction()->setObjectName(name);
        return m;
    };
    auto sub = [this](QMenu *parent, const QString &name, const QString &caption) {
        QMenu *m = parent->addMenu(caption);
        m->setObjectName(name);
        m_items.insert(name, m->menuAction());
        m->menuAction()->setObjectName(name);
        return m;
    };
    auto separator = [](QMenu *m, const QString &name) { m->addSeparator()->setObjectName(name); };

    QMenu *file = menu("mnuFile", "&File");
    connect(addItem(file, "mnuRecordPlace", "Record &Place..."), &QAction::triggered, this,
            &MDIForm1::mnuRecordPlace_Click);
    separator(file, "mnuDummyFile");
    connect(addItem(file, "mnuExit", "E&xit"), &QAction::triggered, this, &QWidget::close);

    QMenu *iface = menu("mnuInterface", "&Interface");
    connect(addItem(iface, "mnuGPIB", "&GPIB..."), &QAction::triggered, this,
            [this] { Setup(GPIB, QString(), false); });
    connect(addItem(iface, "mnuRS232", "&RS232..."), &QAction::triggered, this,
            [this] { Setup(RS232, QString(), false); });
    connect(addItem(iface, "mnuUSB", "&USB..."), &QAction::triggered, this, &MDIForm1::mnuUSB_Click);
    m_items["mnuGPIB"]->setCheckable(true);
    m_items["mnuRS232"]->setCheckable(true);

    QMenu *depart = menu("mnuDepart", "&Depart");
    m_menuZEP = sub(depart, "mnuZEP", "ZEP");
    QAction *first = m_menuZEP->addAction(QStringLiteral("HLBItem"));
    first->setObjectName(QStringLiteral("mnuZEPItem"));
    first->setCheckable(true);
    m_zepItems.append(first);
    connect(first, &QAction::triggered, this, [this] { mnuZEPItem_Click(0); });

    QMenu *function = menu("mnuFunction", "F&unction");
    InstrumentActions *act = m_actions;
    connect(addItem(function, "mnuSaveMemory", "&Save Memory"), &QAction::triggered, act,
            &InstrumentActions::mnuSaveMemory_Click);
    connect(addItem(function, "mnuRecallMemory", "&Recall Memory"), &QAction::triggered, act,
            &InstrumentActions::mnuRecallMemory_Click);
    separator(function, "mnuDummy1");
    connect(addItem(function, "mnuDelay", "&Delay"), &QAction::triggered, act,
            &InstrumentActions::mnuDelay_Click);
    separator(function, "mnuDummy2");
    connect(addItem(function, "mnuReadTimes", "Read &Times"), &QAction::triggered, act,
            &InstrumentActions::mnuReadTimes_Click);

    QMenu *action = menu("mnuAction", "&Action");
    QMenu *outMode = sub(action, "mnuOutMode", "Out &Mode");
    connect(addItem(outMode, "mnuIndep", "&INDEP"), &QAction::triggered, act,
            [act] { act->setCoupling(Commands::CouplingIndependent); });
    connect(addItem(outMode, "mnuParallel", "&PARALLEL"), &QAction::triggered, act,
            [act] { act->setCoupling(Commands::CouplingParallel); });
    connect(addItem(outMode, "mnuTrack", "&TRACK"), &QAction::triggered, act,
            [act] { act->setCoupling(Commands::CouplingTrack); });
    connect(addItem(action, "mnuAutoMode", "&Auto Mode..."), &QAction::triggered, act,
            &InstrumentActions::mnuAutoMode_Click);
    // A click has already flipped the check mark: the new state is what was asked for.
    connect(addItem(action, "mnuOutput", "&Output"), &QAction::triggered, act,
            &InstrumentActions::DoOutput);
    connect(addItem(action, "mnuAutoRun", "Auto &Run"), &QAction::triggered, act,
            &InstrumentActions::DoAutoRun);
    connect(addItem(action, "mnuClearErrorOfProtection", "&Clear Error of Protection"),
            &QAction::triggered, act, &InstrumentActions::mnuClearErrorOfProtection_Click);
    for (const char *name : {"mnuIndep", "mnuParallel", "mnuTrack", "mnuOutput", "mnuAutoRun"})
        m_items[name]->setCheckable(true);
    m_items["mnuIndep"]->setChecked(true);

    QMenu *record = menu("mnuRecord", "&Record");
    connect(addItem(record, "mnuRecordStart", "&Start"), &QAction::triggered, this,
            &MDIForm1::mnuRecordStart_Click);
    connect(addItem(record, "mnuRecordStop", "S&top"), &QAction::triggered, this,
            &MDIForm1::mnuRecordStop_Click);
    connect(addItem(record, "mnuRecordPeriod", "Set&up"), &QAction::triggered, this,
            &MDIForm1::mnuRecordPeriod_Click);
    connect(addItem(record, "mnuRecordSave", "S&ave"), &QAction::triggered, this,
            &MDIForm1::mnuRecordSave_Click);
    connect(addItem(record, "mnuRecordLoad", "&Load"), &QAction::triggered, this,
            &MDIForm1::mnuRecordLoad_Click);
    m_items["mnuRecord"]->setEnabled(false);

    QMenu *view = menu("mnuView", "&View");
    connect(addItem(view, "mnuControl", "&Control"), &QAction::triggered, this, &MDIForm1::mnuControl_Click);
    connect(addItem(view, "mnuWave", "&Datalog"), &QAction::triggered, this, &MDIForm1::mnuWave_Click);
    connect(addItem(view, "mnuTableData", "T&abular Data"), &QAction::triggered, this, [this] {
        // A closed table window opens again over the whole recording.
        if (!m_table && m_panel)
            NewTable1(m_channelIndex);
        if (m_table)
            showOnly(m_table);
    });
    QAction *toolbarItem = addItem(view, "mnuToolbar", "&Toolbar");
    QAction *statusItem = addItem(view, "mnuStatusbar", "&Status Bar");
    toolbarItem->setCheckable(true);
    toolbarItem->setChecked(true);
    statusItem->setCheckable(true);
    statusItem->setChecked(true);
    connect(toolbarItem, &QAction::toggled, this, [this](bool on) {
        m_toolbar->setVisible(on);
        AdjustWindowSize();
    });
    connect(statusItem, &QAction::toggled, this, [this](bool on) {
        statusBar()->setVisible(on);
        AdjustWindowSize();
    });
    addItem(view, "mnuNormalSize", "&Normal Size");

    QMenu *help = menu("mnuHelp", "&Help");
    connect(addItem(help, "mnuAboutTRMx", "&About ZEP 2016"), &QAction::triggered, this,
            [this] { m_about->exec(); });
    connect(addItem(help, "mnuDebug", "Debug"), &QAction::triggered, this, [this] {
        if (!m_debug)
            m_debug = new frmDebug(nullptr);
        m_debug->show();
        m_debug->raise();
    });
    m_about = new frmAbout(this);
}

QAction *MDIForm1::addButton(const QString &key, const QString &tip, bool twoState)
{
    QAction *a = m_toolbar->addAction(ToolbarIcons::icon(key), tip);
    a->setObjectName(key);
    a->setToolTip(tip);
    a->setCheckable(twoState);
    m_buttons.insert(key, a);
    return a;
}

void MDIForm1::createToolbar()
{
    m_toolbar = addToolBar(QStringLiteral("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setIconSize(QSize(24, 24));
    connect(addButton("GPIB", "GPIB", false), &QAction::triggered, this,
            [this] { Setup(GPIB, QString(), false); });
    connect(addButton("RS232", "RS232", false), &QAction::triggered, this,
            [this] { Setup(RS232, QString(), false); });
    connect(addButton("OnOffLine", "Off line", true), &QAction::triggered, this,
            &MDIForm1::OnOffLine_Click);
    m_toolbar->addSeparator();
    InstrumentActions *act = m_actions;
    connect(addButton("SaveMemory", "Save Memory", false), &QAction::triggered, act,
            &InstrumentActions::mnuSaveMemory_Click);
    connect(addButton("RecallMemory", "Recall Memory", false), &QAction::triggered, act,
            &InstrumentActions::mnuRecallMemory_Click);
    connect(addButton("Delay", "Delay", false), &QAction::triggered, act,
            &InstrumentActions::mnuDelay_Click);
    connect(addButton("ReadTimes", "Read Times", false), &QAction::triggered, act,
            &InstrumentActions::mnuReadTimes_Click);
    m_toolbar->addSeparator();
    connect(addButton("Output", "Output", true), &QAction::triggered, act,
            &InstrumentActions::DoOutput);
    connect(addButton("AutoRun", "Auto Run", true), &QAction::triggered, act,
            &InstrumentActions::DoAutoRun);
    connect(addButton("ClearError", "Clear Error of Protection", false), &QAction::triggered, act,
            &InstrumentActions::mnuClearErrorOfProtection_Click);
    m_toolbar->addSeparator();
    connect(addButton("About", "About", false), &QAction::triggered, this, [this] { m_about->exec(); });
}

void MDIForm1::createShortcuts()
{
    // The desktop's own keys where it has them; Ctrl+Q and the like where a platform names none.
    const struct {
        const char *item;
        QKeySequence::StandardKey standard;
        QKeySequence fallback;
    } standardKeys[] = {
        {"mnuExit", QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {"mnuRecordSave", QKeySequence::Save, QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"mnuRecordLoad", QKeySequence::Open, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {"mnuAboutTRMx", QKeySequence::HelpContents, QKeySequence(Qt::Key_F1)},
    };
    for (const auto &k : standardKeys) {
        const QList<QKeySequence> keys = QKeySequence::keyBindings(k.standard);
        m_items.value(QLatin1String(k.item))->setShortcuts(keys.isEmpty() ? QList{k.fallback} : keys);
    }
    // Output on and off is what a bench user does most: one key, shown in the Action menu.
    m_menu.output->setShortcut(OutputKey);
    QAction *onLine = m_button.onOffLine;
    onLine->setShortcut(OnLineKey);
}

void MDIForm1::applyMenuTable(int layout)
{
    const QHash<QString, bool> enables = EnableTables::menuEnables(layout);
    for (auto it = enables.cbegin(); it != enables.cend(); ++it)
        m_items.value(it.key())->setEnabled(it.value());
    m_menu.gpib->setChecked(false);
    m_menu.rs232->setChecked(false);
    m_menu.indep->setChecked(true);
}

void MDIForm1::applyToolbarReset(int layout)
{
    const QStringList enabled = EnableTables::toolbarEnabledAtReset(layout);
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it)
        it.value()->setEnabled(enabled.contains(it.key()));
    setOnLineLook(false);
}

void MDIForm1::setOnLineLook(bool online)
{
    QAction *b = m_button.onOffLine;
    b->setChecked(!online);  // pressed while off line
    b->setIcon(ToolbarIcons::onOffLine(online));
    b->setToolTip(online ? QStringLiteral("On line") : QStringLiteral("Off line"));
}

void MDIForm1::bindActions()
{
    const auto item = [this](const char *name) { return m_items.value(QLatin1String(name)); };
    m_menu = {item("mnuGPIB"),   item("mnuRS232"),   item("mnuWave"),
              item("mnuRecord"), item("mnuOutput"),  item("mnuAutoRun"),
              item("mnuIndep"),  item("mnuParallel"), item("mnuTrack"),
              item("mnuToolbar"), item("mnuStatusbar")};
    m_button = {m_buttons.value(QStringLiteral("OnOffLine")), m_buttons.value(QStringLiteral("Output")),
                m_buttons.value(QStringLiteral("AutoRun"))};
}

void MDIForm1::SetupMenu()
{
    m_menu.rs232->setChecked(CommType() == RS232);
    m_menu.gpib->setChecked(CommType() == GPIB);
}

void MDIForm1::SetupToolBar()
{
    const QStringList enabled = EnableTables::toolbarEnabledAtSetup(m_layoutType);
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it) {
        it.value()->setEnabled(enabled.contains(it.key()));
        it.value()->setChecked(false);
    }
    setOnLineLook(CommType() == RS232 || CommType() == GPIB);
}

void MDIForm1::OnOffLine_Click()
{
    const QString commType = SettingsStore::read(SettingKeys::CommType);
    const QString mtype = SettingsStore::read(SettingKeys::MType);
    const auto online = [this] { return running() && (CommType() == RS232 || CommType() == GPIB); };
    if (commType.isEmpty()) {
        setOnLineLook(online());
        return;
    }
    Setup(commType, mtype, true);
    // Declined or failed: the button shows the state the connection is in.
    if (MainFormState() != 1)
        setOnLineLook(online());
}

void MDIForm1::mnuUSB_Click()
{
    m_connection->setSerialCaption(QStringLiteral("Config USB"));
    Setup(RS232, QString(), false);
}

void MDIForm1::mnuZEPItem_Click(int index)
{
    if (index >= 0 && index < m_zepItems.size())
        Setup(Menu, m_zepItems.at(index)->text(), false);
}

bool MDIForm1::SetupMenuMachineTypes()
{
    bool found = false;
    int listed = 0;
    int rows = 0;
    const QString family = m_menuZEP->title();
    for (const MachineTypeRow &row : m_c.machineTypes->rows()) {
        if (!row.inMenu)
            continue;
        ++rows;
        if (!MachineTypeRules::listedInFamily(row, family))
            continue;
        if (listed >= m_zepItems.size()) {
            QAction *item = m_menuZEP->addAction(QString());
            item->setObjectName(QStringLiteral("mnuZEPItem"));
            item->setCheckable(true);
            const int index = int(m_zepItems.size());
            connect(item, &QAction::triggered, this, [this, index] { mnuZEPItem_Click(index); });
            m_zepItems.append(item);
        }
        QAction *item = m_zepItems.at(listed);
        item->setText(row.mtype);
        item->setVisible(true);
        const bool current = row.mtype == MachineType();
        item->setChecked(current);
        found = found || current;
        ++listed;
    }
    // Items of types no longer in the table are kept for reuse but not shown.
    for (int i = listed; i < m_zepItems.size(); ++i)
        m_zepItems.at(i)->setVisible(false);
    m_machineTypeCount = rows;
    m_machineMenuLoaded = true;
    return found;
}

// ---------------------------------------------------------------- layout and windows

QMdiSubWindow *MDIForm1::addChild(QWidget *widget)
{
    QMdiSubWindow *sub = m_mdi->addSubWindow(widget);
    sub->setObjectName(widget->objectName() + QStringLiteral("Window"));
    sub->setWindowTitle(widget->windowTitle());
    return sub;
}

bool MDIForm1::showSupply(Supply &supply)
{
    const int layout = supply.layout();
    std::unique_ptr<FrontPanel> panel = m_c.panelFactory(*this, supply);
    if (!panel)
        return false;
    m_menu.wave->setEnabled(true);
    setWindowTitle(supply.machineType());
    connect(&supply, &Supply::outputChanged, this, &MDIForm1::showOutput);
    connect(&supply, &Supply::autoRunChanged, this, &MDIForm1::showAutoRun);
    connect(&supply, &Supply::couplingChanged, this, &MDIForm1::showCoupling);
    m_layoutType = layout;
    m_panel = panel.release();
    m_panel->setObjectName(m_panel->objectName().isEmpty() ? QStringLiteral("frmLayout%1").arg(layout)
                                                           : m_panel->objectName());
    QMdiSubWindow *sub = addChild(m_panel);
    sub->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    ResetTableandWave();
    NewTable1(supply.channelCount() - 1);
    NewWave1(supply.channelCount() - 1);
    applyMenuTable(layout);
    applyToolbarReset(layout);
    m_panel->SetupLayout();
    sub->hide();
    sub->adjustSize();
    sub->move(0, 0);
    AdjustWindowSize();
    SetupToolBar();
    SetupMenu();
    return true;
}

void MDIForm1::supplyReady()
{
    if (!m_panel)
        return;
    showOnly(m_panel);
    // Samples recovered at start stay in front until they are seen.
    if (m_showRecovered && m_table) {
        m_showRecovered = false;
        showOnly(m_table);
    }
}

void MDIForm1::NewTable1(int n)
{
    // A running recording keeps its samples and channels; otherwise the table shows what
    // `datatemp` holds (samples of a recording that was never saved are kept).
    if (!m_session->isRecording()) {
        m_session->setChannelCount(n + 1);
        m_session->reload();
    }
    auto *table = new frmDataTable(*m_session);
    m_channelIndex = n;
    m_table = table;
    addChild(table)->hide();
    WindowMemory::restoreChild(*table, tableMemoryKey());
}

void MDIForm1::NewWave1(int n)
{
    if (!m_table)
        return;
    auto *wave = new frmGraphicRecord(*m_session, *this, n + 1);
    m_wave = wave;
    addChild(wave)->hide();
}

QString MDIForm1::tableMemoryKey() const
{
    return QStringLiteral("Table%1").arg(m_channelIndex + 1);
}

void MDIForm1::ResetTableandWave()
{
    rememberFrontSize();
    if (m_front != m_panel)
        m_front = nullptr;
    if (m_table)
        WindowMemory::saveChild(*m_table, tableMemoryKey());
    for (QWidget *w : std::initializer_list<QWidget *>{m_wave.data(), m_table.data()}) {
        if (!w)
            continue;
        QWidget *sub = w->parentWidget();
        (sub ? sub : w)->hide();
        (sub ? sub : w)->deleteLater();
    }
    m_wave = nullptr;
    m_table = nullptr;
}

void MDIForm1::releaseWindows()
{
    ResetTableandWave();
    if (m_panel) {
        QWidget *sub = m_panel->parentWidget();
        QWidget *window = sub ? sub : m_panel.data();
        window->hide();
        window->deleteLater();
    }
    m_panel = nullptr;
    if (Supply *supply = m_connection->supply())
        disconnect(supply, nullptr, this, nullptr);
}

void MDIForm1::showOnly(QWidget *front)
{
    rememberFrontSize();
    m_front = front;
    if (front && front == m_panel) {
        AdjustWindowSize();
    } else if (front && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        const QSize wanted = dataWindowSize(front);
        if (wanted != size())
            resize(wanted);
    }
    for (QWidget *w : std::initializer_list<QWidget *>{m_panel.data(), m_table.data(), m_wave.data()}) {
        if (!w || !w->parentWidget())
            continue;
        if (w == front) {
            w->show();
            w->parentWidget()->showNormal();
            fitFront();
            w->parentWidget()->raise();
            m_mdi->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(w->parentWidget()));
        } else {
            w->parentWidget()->hide();
        }
    }
}

void MDIForm1::mnuWave_Click()
{
    if (!m_panel)
        return;
    if (!m_wave)
        NewWave1(m_channelIndex);
    showOnly(m_wave);
}

QString MDIForm1::sizeMemoryKey(const QWidget *window) const
{
    if (window && window == m_table)
        return QStringLiteral("TableSize");
    if (window && window == m_wave)
        return QStringLiteral("GraphSize");
    return QString();
}

void MDIForm1::rememberFrontSize()
{
    const QString key = sizeMemoryKey(m_front);
    if (!key.isEmpty() && isVisible() && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        WindowMemory::saveSize(key, size());
}

QSize MDIForm1::dataWindowSize(QWidget *window) const
{
    // What the window was given last time, else room for all its controls, within the screen.
    QSize wanted = WindowMemory::readSize(sizeMemoryKey(window)).value_or(QSize());
    if (!wanted.isValid()) {
        // The menu bar, toolbar and status bar around the client area, from their own sizes:
        // the client area may not have followed the window's last resize yet.
        int bars = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
        if (m_toolbar && !m_toolbar->isHidden())
            bars += m_toolbar->sizeHint().height();
        const QSize chrome = QSize(0, bars) + 2 * QSize(m_mdi->frameWidth(), m_mdi->frameWidth());
        // The sub-window's title bar and edges.
        const QMargins m = window->parentWidget() ? window->parentWidget()->contentsMargins() : QMargins();
        const QSize frame(m.left() + m.right(), m.top() + m.bottom());
        wanted = window->sizeHint().expandedTo(QSize(DataWindowWidth, DataWindowHeight)) + chrome + frame;
    }
    if (const QScreen *s = screen()) {
        const QSize border = frameGeometry().size() - size();
        wanted = wanted.boundedTo(s->availableGeometry().size() - border);
    }
    return wanted.expandedTo(minimumSizeHint());
}

void MDIForm1::fitFront()
{
    if (m_front && m_front != m_panel && m_front->parentWidget())
        m_front->parentWidget()->setGeometry(QRect(QPoint(0, 0), m_mdi->viewport()->size()));
}

void MDIForm1::AdjustWindowSize()
{
    if (!m_panel || !m_panel->parentWidget())
        return;
    // A data window in front keeps the size it was given; so does a maximised window.
    if ((m_front && m_front != m_panel) || (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    const QSize outer = m_panel->parentWidget()->size();
    const QSize client = m_mdi->size();
    const QSize diff = outer - client;
    if (diff.isNull())
        return;
    QSize wanted = size() + diff;
    // On a screen too small for the panel the window takes the screen and scrolls.
    if (const QScreen *s = screen()) {
        const QSize frame = frameGeometry().size() - size();
        wanted = wanted.boundedTo(s->availableGeometry().size() - frame);
    }
    if (wanted != size())
        resize(wanted);
}

void MDIForm1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // The user may maximise the window; the panel keeps its size in the corner.
    if (event->type() == QEvent::WindowStateChange)
        QTimer::singleShot(0, this, &MDIForm1::fitFront);
}

void MDIForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_adjustPending)
        return;
    // The client area takes its new size after the layout has run.
    m_adjustPending = true;
    QTimer::singleShot(0, this, [this] {
        m_adjustPending = false;
        fitFront();
    });
}

void MDIForm1::ResetAll()
{
    m_connection->ResetAll();
}

void MDIForm1::connectionReset()
{
    releaseWindows();
    m_layoutType = 0;
    setWindowTitle(QStringLiteral("ZEP 2016"));
    m_menu.output->setChecked(false);
    m_menu.autoRun->setChecked(false);
    m_menu.record->setEnabled(false);
    ResetMenu();
    ResetToolbar();
}

// ---------------------------------------------------------------- timers and status

void MDIForm1::StatusTimer_Timer()
{
    m_statusLabel->setText(m_status.tick(MainFormState()));
}

QString MDIForm1::statusText() const
{
    return m_statusLabel->text();
}

void MDIForm1::ReportStatus(const QString &text, int ms)
{
    m_status.report(text, ms);
}

void MDIForm1::trace(const QString &text)
{
    if (m_debug && m_debug->isVisible())
        m_debug->Report(text);
}

void MDIForm1::Report(const QString &line)
{
    if (g_mainWindow)
        g_mainWindow->trace(line);
}

void MDIForm1::closeEvent(QCloseEvent *event)
{
    rememberFrontSize();
    WindowMemory::saveMain(*this);
    m_actions->RecallTimer.stop();
    m_queryInitial->stop();
    m_connection->shutDown();
    releaseWindows();
    if (m_debug)
        m_debug->close();
    event->accept();
}

// ---------------------------------------------------------------- the connection's view

void MDIForm1::Setup(const QString &commType, const QString &type, bool IsDirect)
{
    m_connection->Setup(commType, type, IsDirect);
}

void MDIForm1::SetupSerialPort(const QString &port, int baud)
{
    m_connection->SetupSerialPort(port, baud);
}

void MDIForm1::offerSerialPort(const QString &path)
{
    m_c.interfaces->offerPort(path);
}

void MDIForm1::identificationStarted()
{
    m_menu.gpib->setEnabled(false);
    m_menu.rs232->setEnabled(false);
}

void MDIForm1::identificationEnded()
{
    m_menu.gpib->setEnabled(m_layoutType < 3);
    m_menu.rs232->setEnabled(true);
}

void MDIForm1::startInitialValuesDialog()
{
    m_queryInitial->start();
}

void MDIForm1::stopInitialValuesDialog()
{
    m_queryInitial->stop();
}

void MDIForm1::showStatusText(const QString &text)
{
    m_statusLabel->setText(text);
}

QString MDIForm1::CommType() const { return m_connection->commType(); }
int MDIForm1::baudRate() const { return m_connection->baudRate(); }
int MDIForm1::gpibAddress() const { return m_connection->gpibAddress(); }
QString MDIForm1::MachineType() const { return m_connection->machineType(); }
int MDIForm1::MainFormState() const { return m_connection->mainFormState(); }
CommTasker &MDIForm1::engine() { return m_connection->engine(); }
Supply *MDIForm1::supply() const { return m_connection->supply(); }
bool MDIForm1::running() const { return m_connection->running(); }

// ---------------------------------------------------------------- the supply's state

void MDIForm1::showOutput(bool on)
{
    m_menu.record->setEnabled(on);
    m_button.output->setChecked(on);
    m_menu.output->setChecked(on);
    m_connection->CheckOutput();
}

void MDIForm1::showAutoRun(bool on)
{
    m_button.autoRun->setChecked(on);
    m_menu.autoRun->setChecked(on);
}

void MDIForm1::showCoupling(Commands::Coupling mode)
{
    m_menu.indep->setChecked(mode == Commands::CouplingIndependent);
    m_menu.parallel->setChecked(mode == Commands::CouplingParallel);
    m_menu.track->setChecked(mode == Commands::CouplingTrack);
}
