#pragma once

#include "datalog/RecordingInterfaces.h"
#include "datalog/dlgRecordLength.h"
#include "datalog/frmDataTable.h"
#include "datalog/frmGraphicRecord.h"
#include "link/Commands.h"
#include "mainwin/Collaborators.h"
#include "mainwin/StatusLine.h"
#include "connection/SupplyConnection.h"
#include "mainwin/InstrumentActions.h"
#include "link/GpibBoard.h"
#include "link/SerialIo.h"
#include "panels/FrontPanel.h"
#include "panels/PanelHost.h"
#include "supply/Supply.h"
#include "mainwin/frmDebug.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <memory>

class FrontPanel;
class MachineTypeSource;
class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class dlgQueryInitial;
class dlgWaitRsp;
class frmAbout;
class SupplyReadings;
class RecordPlace;
class RecordStore;
class RecordingSession;
class dlgRecordPlace;
class frmDebug;
class Supply;

// The program's main window: menus, toolbar, status bar and the MDI area with the supply's
// front panel and the data windows. The link and the supply model belong to its
// SupplyConnection, what the user asks of the supply to its InstrumentActions, the recording
// to its RecordingSession; the window shows them.
class MDIForm1 : public QMainWindow, public PanelHost, public ConnectionView,
                 public RecordSetupTimers, public GraphHost
{
    Q_OBJECT
public:
    struct Collaborators {
        std::shared_ptr<MachineTypeSource> machineTypes;
        PanelFactoryFn panelFactory;
        std::unique_ptr<InterfaceChooser> interfaces;
        std::unique_ptr<LinkOpener> links;
        std::unique_ptr<ActionDialogs> dialogs;
        // The record database of the table window (and the graph window).
        std::shared_ptr<RecordStore> records;
        // Where records are saved, listed and loaded: `records` or the lab server.
        std::shared_ptr<RecordPlace> place;
    };

    static constexpr int StatusIntervalMs = 100;
    // Keys of the on-line button and of the output switch.
    static constexpr QKeyCombination OnLineKey{Qt::Key_F5};
    static constexpr QKeyCombination OutputKey{Qt::Key_F8};

    explicit MDIForm1(Collaborators collaborators = {}, QWidget *parent = nullptr);
    ~MDIForm1() override;

    SupplyConnection &connection() { return *m_connection; }
    InstrumentActions &actions() { return *m_actions; }

    // --- Connecting (the user's actions)
    void Setup(const QString &commType, const QString &type, bool IsDirect);
    // Connects to a serial port given directly (the built-in virtual supply).
    void SetupSerialPort(const QString &port, int baud);
    // Lists a device path in the RS232 dialog's port list from now on.
    void offerSerialPort(const QString &path);
    void ResetAll();
    bool SetupMenuMachineTypes();
    void AdjustWindowSize();

    // --- Menus and toolbar
    void ResetMenu() { applyMenuTable(0); }
    void ResetToolbar() { applyToolbarReset(0); }
    void SetupMenu();
    void SetupToolBar();
    void OnOffLine_Click();
    void mnuUSB_Click();
    void mnuZEPItem_Click(int index);
    void DoOutput(bool on) { m_actions->DoOutput(on); }
    void ToggleAutoRun() { m_actions->ToggleAutoRun(); }

    // --- PanelHost: the panels' dialog buttons and interface line
    QString CommType() const override;
    int baudRate() const override;
    int gpibAddress() const override;
    void mnuAutoMode_Click() override { m_actions->mnuAutoMode_Click(); }
    void mnuSaveMemory_Click() override { m_actions->mnuSaveMemory_Click(); }
    void mnuRecallMemory_Click() override { m_actions->mnuRecallMemory_Click(); }
    void ReportStatus(const QString &text, int ms) override;

    // --- Records
    void mnuRecordPeriod_Click() override;
    void mnuRecordStart_Click() override;
    void mnuRecordStop_Click() override;
    void mnuControl_Click() override;
    bool recordMenuEnabled() const override;
    int recordScale() const override;
    void setRecordScale(int position) override;
    void mnuRecordSave_Click();
    // File menu: the place of saved records.
    void mnuRecordPlace_Click();
    dlgRecordPlace *recordPlaceDialog() const { return m_recordPlace; }
    void mnuRecordLoad_Click();
    // At start-up: samples an unsaved recording left in the buffer are shown in the table
    // window (also once a supply connected meanwhile is up), and a message that stays until
    // read says how many. Runs under a timer: asks nothing.
    void recoverUnsavedRecording();

    // --- RecordSetupTimers
    void setQueryTimerOn(bool on) override;
    void setWaitingTimerOn(bool) override {}
    void setWriterTimerOn(bool on) override;

    // The status line's timer (public so tests can tick it without waiting).
    void StatusTimer_Timer();
    QTimer StatusTimer;

    // --- State other windows and tests read
    QString MachineType() const;
    int MainFormState() const;
    CommTasker &engine();
    // The connected supply; null while none is identified.
    Supply *supply() const;
    int LayoutType() const { return m_layoutType; }
    int MachineTypeCount() const { return m_machineTypeCount; }
    FrontPanel *OperatorForm() const { return m_panel; }
    frmDataTable *tableDataForm1() const { return m_table; }
    // The program's recording, which outlives the table and graph windows.
    RecordingSession &session() const { return *m_session; }
    dlgRecordLength *recordSetup() const { return m_recordLength; }
    frmGraphicRecord *waveForm1() const { return m_wave; }
    QString statusText() const;
    QAction *menuItem(const QString &name) const { return m_items.value(name); }
    QAction *toolButton(const QString &key) const { return m_buttons.value(key); }
    QMdiArea *mdiArea() const { return m_mdi; }
    frmDebug *debugWindow() const { return m_debug; }

    // Trace lines from anywhere in the program go to the open debug window.
    static void Report(const QString &line);
    void trace(const QString &text) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // --- ConnectionView
    void identificationStarted() override;
    void identificationEnded() override;
    bool listMachineTypes() override { return SetupMenuMachineTypes(); }
    bool showSupply(Supply &supply) override;
    void supplyReady() override;
    void startInitialValuesDialog() override;
    void stopInitialValuesDialog() override;
    void connectionReset() override;
    void showStatusText(const QString &text) override;

    void createMenus();
    void createToolbar();
    void createShortcuts();
    QString tableMemoryKey() const;
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption);
    QAction *addButton(const QString &key, const QString &tip, bool twoState);
    void applyMenuTable(int layout);
    void applyToolbarReset(int layout);
    void setOnLineLook(bool online);
    void bindActions();
    bool running() const;
    // Views of the supply's state in the menus and the toolbar.
    void showOutput(bool on);
    void showAutoRun(bool on);
    void showCoupling(Commands::Coupling mode);
    void releaseWindows();
    QMdiSubWindow *addChild(QWidget *widget);
    void NewTable1(int n);
    void NewWave1(int n);
    void ResetTableandWave();
    void showOnly(QWidget *front);
    // The data window in front fills the client area; its size is kept for it.
    void fitFront();
    void rememberFrontSize();
    QSize dataWindowSize(QWidget *window) const;
    QString sizeMemoryKey(const QWidget *window) const;
    void mnuWave_Click();

    Collaborators m_c;
    StatusLine m_status;
    SupplyConnection *m_connection = nullptr;
    InstrumentActions *m_actions = nullptr;

    QMdiArea *m_mdi;
    QToolBar *m_toolbar = nullptr;
    QLabel *m_statusLabel = nullptr;
    QMenu *m_menuZEP = nullptr;
    // Every menu item and toolbar button by name, for the enable tables.
    QHash<QString, QAction *> m_items;
    QHash<QString, QAction *> m_buttons;
    // The items and buttons the window itself sets.
    struct {
        QAction *gpib, *rs232, *wave, *record, *output, *autoRun, *indep, *parallel, *track,
            *toolbar, *statusbar;
    } m_menu{};
    struct {
        QAction *onOffLine, *output, *autoRun;
    } m_button{};
    QList<QAction *> m_zepItems;

    QPointer<FrontPanel> m_panel;
    QPointer<frmDataTable> m_table;
    QPointer<frmGraphicRecord> m_wave;
    int m_channelIndex = 0;
    std::unique_ptr<SupplyReadings> m_readings;
    RecordingSession *m_session = nullptr;

    dlgQueryInitial *m_queryInitial = nullptr;
    dlgWaitRsp *m_waitRsp = nullptr;
    frmAbout *m_about = nullptr;
    dlgRecordLength *m_recordLength = nullptr;
    dlgRecordPlace *m_recordPlace = nullptr;  // made on first use, a child of the window
    QPointer<frmDebug> m_debug;

    int m_machineTypeCount = 0;
    bool m_machineMenuLoaded = false;
    int m_layoutType = 0;
    bool m_adjustPending = false;
    QPointer<QWidget> m_front;  // the window shown in the client area
    // Recovered samples are shown in front of the panel of the next connection.
    bool m_showRecovered = false;
};
