#pragma once

#include "datalog/RecordingInterfaces.h"
#include "datalog/dlgRecordLength.h"
#include "datalog/frmDataTable.h"
#include "datalog/frmGraphicRecord.h"
#include "link/CommTasker.h"
#include "link/Commands.h"
#include "mainwin/Collaborators.h"
#include "mainwin/StatusLine.h"
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

// The program's main window: menus, toolbar and status bar; connects to the supply,
// identifies its machine type, creates the front panel of its layout with the table and
// graph windows, drives the polling while the output is on, runs the instrument actions and
// resets everything when the link fails.
class MDIForm1 : public QMainWindow, public PanelHost, public EngineHost, public RecordSetupTimers,
                public GraphHost
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

    static constexpr int QueryIntervalMs = 166;
    static constexpr int StatusIntervalMs = 100;
    static constexpr int GetMachineTypeMs = 7500;
    static constexpr int RecallDelayMs = 100;
    static constexpr int SerialSettleMs = 800;  // after "REMOTE", before "*IDN?"
    // Shown in the status bar when no supply answered the identification.
    static constexpr const char *NoAnswerHint =
        "No answer: check the cable, the baud rate and that the supply's remote interface is on.";
    // Keys of the on-line button and of the output switch.
    static constexpr QKeyCombination OnLineKey{Qt::Key_F5};
    static constexpr QKeyCombination OutputKey{Qt::Key_F8};

    // What follows once the panel's initial values have been read.
    enum class AfterInitialValues { ShowPanel, ResumeAfterRecall };

    explicit MDIForm1(Collaborators collaborators = {}, QWidget *parent = nullptr);
    ~MDIForm1() override;

    // --- Connection and identification
    void Setup(const QString &commType, const QString &type, bool IsDirect);
    // Connects to a serial port given directly (the built-in virtual supply).
    void SetupSerialPort(const QString &port, int baud);
    // Lists a device path in the RS232 dialog's port list from now on.
    void offerSerialPort(const QString &path);
    void BeginGetMachineType(const QString &commType, const QString &type);
    void DevSetupMachineType(const QString &answer);
    void DevSetupMachineType2();
    void DevGetMachineTypeTimeout();
    void FailGetMachineType();
    void OkGetMachineType();
    void EndGetMachineType();
    bool SetupMenuMachineTypes();
    // Checks the identification deadline (run by GetMachineTypeTimer).
    void GetMachineTypeTimer_Timer();
    // Starts identification once the serial line has settled (run by SettleTimer).
    void SettleTimer_Timer();

    // --- Layout and windows
    bool SetupLayout();
    // Has the panel read its initial values behind the busy dialog, then continues with
    // `then` (InitialValuesDone). Never waits in place.
    void QueryInitialValues(AfterInitialValues then);
    void InitialValuesDone(bool cancelled);
    void AdjustWindowSize();
    void ResetAll();
    void OperationTimeout();
    void SetSettings();

    // --- Menus and toolbar
    void ResetMenu() { applyMenuTable(0); }
    void ResetToolbar() { applyToolbarReset(0); }
    void SetupMenu();
    void SetupToolBar();
    void OnOffLine_Click();
    void mnuUSB_Click();
    void mnuZEPItem_Click(int index);

    // --- Instrument actions
    void DoOutput(bool on);
    void ToggleOutput();
    void CheckOutput();
    void DoAutoRun(bool on);
    void ToggleAutoRun();
    void mnuAutoMode_Click() override;
    void mnuDelay_Click();
    void mnuIndep_Click();
    void mnuParallel_Click();
    void mnuTrack_Click();
    void mnuSaveMemory_Click() override;
    void mnuRecallMemory_Click() override;
    void RecallMemory2();
    void ResumeAfterRecall();
    void mnuReadTimes_Click();
    void mnuClearErrorOfProtection_Click();
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

    // --- Timers (public so tests can tick them without waiting)
    void QueryTimer_Timer();
    void StatusTimer_Timer();
    QTimer QueryTimer;
    QTimer StatusTimer;
    QTimer GetMachineTypeTimer;
    QTimer SettleTimer;
    QTimer RecallTimer;

    // --- EngineHost
    void ReportStatus(const QString &text, int ms) override;
    bool isQueryTimerEnabled() const override { return QueryTimer.isActive(); }
    void trace(const QString &text) override;

    // --- PanelHost
    QString CommType() const override { return m_commType; }
    int baudRate() const override { return m_baudRate; }
    int gpibAddress() const override { return m_gpibAddress; }

    QString MachineType() const { return m_machineType; }
    int MainFormState() const { return m_mainFormState; }
    bool IsQueryInitialValues() const { return m_isQueryInitialValues; }
    CommTasker &engine() { return m_engine; }
    // The connected supply; null while none is identified.
    Supply *supply() const { return m_supply; }

    // --- State other windows and tests read
    int LayoutType() const { return m_layoutType; }
    int MachineTypeCount() const { return m_machineTypeCount; }
    bool IsSuspendOutput() const { return m_isSuspendOutput; }
    Commands::Dialect dialect() const { return m_dialect; }
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

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createMenus();
    void createToolbar();
    void createShortcuts();
    QString tableMemoryKey() const;
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption);
    QAction *addButton(const QString &key, const QString &tip, bool twoState);
    void applyMenuTable(int layout);
    void applyToolbarReset(int layout);
    void setOnLineLook(bool online);
    void setChecked(const QString &item, bool on);
    bool running() const { return m_mainFormState == 3; }
    bool readyForActions() const;
    void setMainFormState(int state);
    // Views of the supply's state in the menus and the toolbar.
    void showOutput(bool on);
    void showAutoRun(bool on);
    void showCoupling(Commands::Coupling mode);
    // False (and the reason told) when the port cannot be opened.
    bool openSerial(const QString &port, int baud);
    void closeLinks();
    void releaseWindows();
    QMdiSubWindow *addChild(QWidget *widget);
    void NewTable1(int n);
    void NewWave1(int n);
    void ResetTableandWave();
    void showOnly(QWidget *front);
    void mnuWave_Click();

    Collaborators m_c;
    CommTasker m_engine;
    StatusLine m_status;

    QMdiArea *m_mdi;
    QToolBar *m_toolbar = nullptr;
    QLabel *m_statusLabel = nullptr;
    QMenu *m_menuZEP = nullptr;
    QHash<QString, QAction *> m_items;
    QHash<QString, QAction *> m_buttons;
    QList<QAction *> m_zepItems;

    std::unique_ptr<SerialIo> m_serial;
    std::unique_ptr<GpibBoard> m_gpib;
    QPointer<Supply> m_supply;
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

    QString m_commType;
    QString m_machineType;
    int m_mainFormState = 0;
    int m_machineTypeCount = 0;
    bool m_machineMenuLoaded = false;
    bool m_answerHasType = false;
    int m_layoutType = 0;
    bool m_isSuspendOutput = false;
    bool m_isQueryInitialValues = false;
    AfterInitialValues m_afterInitialValues = AfterInitialValues::ShowPanel;
    int m_baudRate = 9600;
    int m_gpibAddress = 0;
    Commands::Dialect m_dialect = Commands::DialectChannelScpi;
    double m_getTypeStart = 0;
    bool m_adjustPending = false;
    QString m_serialCaption;  // the RS232 dialog's caption for the next connect
    QString m_familyWord;     // the machine-type menu's caption
    // Recovered samples are shown in front of the panel of the next connection.
    bool m_showRecovered = false;
};
