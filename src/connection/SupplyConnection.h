#pragma once

#include "connection/InitialValuesWatch.h"
#include "link/CommTasker.h"
#include "link/Commands.h"
#include "supply/Supply.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class GpibBoard;
class InterfaceChooser;
class LinkOpener;
class MachineTypeSource;
class SerialIo;

// What the connection asks of the window that shows it.
class ConnectionView
{
public:
    virtual ~ConnectionView() = default;
    // Identification started or ended: the interface items follow.
    virtual void identificationStarted() = 0;
    virtual void identificationEnded() = 0;
    // True when the identified machine type is one the machine-type menu lists (the menu is
    // refreshed).
    virtual bool listMachineTypes() = 0;
    // Shows `supply`: its panel, the data windows and the menus of its layout. False when its
    // layout has no panel.
    virtual bool showSupply(Supply &supply) = 0;
    // The initial values are in: the panel comes to the front.
    virtual void supplyReady() = 0;
    // The busy dialog of the initial values: a view of SupplyConnection::initialValuesWatch(),
    // which ends with SupplyConnection::initialValuesDone.
    virtual void startInitialValuesDialog() = 0;
    virtual void stopInitialValuesDialog() = 0;
    // The link is gone: windows released, menus and toolbar as when not connected.
    virtual void connectionReset() = 0;
    // The status line's text.
    virtual void showStatusText(const QString &text) = 0;
    virtual void ReportStatus(const QString &text, int ms) = 0;
    virtual void trace(const QString &text) = 0;
};

// The link to one supply: opening the serial port or the GPIB board, identifying the machine
// type, the Supply model of what answered, its initial values, the polling while its output
// is on, and the reset when the link fails or times out. Asks nothing of the user below a
// timer or an answer; the window shows what it decides.
class SupplyConnection : public QObject, public EngineHost
{
    Q_OBJECT
public:
    static constexpr int QueryIntervalMs = 166;
    static constexpr int GetMachineTypeMs = 7500;
    static constexpr int SerialSettleMs = 800;  // after "REMOTE", before "*IDN?"
    // Shown in the status bar when no supply answered the identification.
    static constexpr const char *NoAnswerHint =
        "No answer: check the cable, the baud rate and that the supply's remote interface is on.";

    SupplyConnection(ConnectionView &view, const MachineTypeSource &machineTypes,
                     InterfaceChooser &interfaces, LinkOpener *links, QObject *parent = nullptr);
    ~SupplyConnection() override;

    // --- connecting (from the user's actions)
    void Setup(const QString &commType, const QString &type, bool IsDirect);
    void SetupSerialPort(const QString &port, int baud);
    // Asks before a running connection is replaced; false when the user keeps it.
    bool mayReplace();
    void ResetAll();
    // Closes the link for good (the window closes).
    void shutDown();
    void closeLinks();
    void setFamilyWord(const QString &word) { m_familyWord = word; }
    // The supply on the link is taken to be `type`: identification asks nothing.
    void setKnownType(const QString &type) { m_knownType = type; }
    // Whether the identified type and link are remembered for the next start (not for a
    // supply that is only simulated).
    void setRemembersChoice(bool remember) { m_remembersChoice = remember; }
    // The caption of the next RS232 dialog (the USB item's).
    void setSerialCaption(const QString &caption) { m_serialCaption = caption; }

    // --- identification
    void BeginGetMachineType(const QString &commType, const QString &type);
    void DevSetupMachineType(const QString &answer);
    void DevSetupMachineType2();
    void DevGetMachineTypeTimeout();
    void FailGetMachineType();
    void OkGetMachineType();
    void EndGetMachineType();
    void GetMachineTypeTimer_Timer();
    void SettleTimer_Timer();
    void OperationTimeout();

    // --- the supply's values and polling
    // Reads the initial values behind the busy dialog, then runs `then` (with true when the
    // user cancelled). Never waits in place.
    void QueryInitialValues(std::function<void(bool cancelled)> then);
    void initialValuesDone(bool cancelled);
    // Starts or stops the polling to match the supply's output.
    void CheckOutput();
    void QueryTimer_Timer();

    // --- state
    CommTasker &engine() { return m_engine; }
    InitialValuesWatch &initialValuesWatch() { return m_initialValues; }
    Supply *supply() const { return m_supply; }
    const QPointer<Supply> &supplyPointer() const { return m_supply; }
    QString commType() const { return m_commType; }
    QString machineType() const { return m_machineType; }
    int mainFormState() const { return m_mainFormState; }  // 3 = identified and running
    bool running() const { return m_mainFormState == 3; }
    // Identified and running with its supply: what the instrument actions need.
    bool ready() const { return running() && m_supply; }
    bool isQueryInitialValues() const { return m_isQueryInitialValues; }
    bool isSuspendOutput() const { return m_isSuspendOutput; }
    Commands::Dialect dialect() const { return m_dialect; }
    int baudRate() const { return m_baudRate; }
    int gpibAddress() const { return m_gpibAddress; }

    // --- EngineHost
    void ReportStatus(const QString &text, int ms) override { m_view.ReportStatus(text, ms); }
    bool isQueryTimerEnabled() const override { return QueryTimer.isActive(); }
    void trace(const QString &text) override { m_view.trace(text); }

    // Timers, public so tests can tick them without waiting.
    QTimer QueryTimer;
    QTimer GetMachineTypeTimer;
    QTimer SettleTimer;

signals:
    // The link was reset (a failure, a time-out, the user's choice).
    void wasReset();

private:
    bool openSerial(const QString &port, int baud);
    void setMainFormState(int state);
    void releaseSupply();
    void SetSettings();

    ConnectionView &m_view;
    const MachineTypeSource &m_machineTypes;
    InterfaceChooser &m_interfaces;
    LinkOpener *m_links;

    CommTasker m_engine;
    InitialValuesWatch m_initialValues{m_engine};
    std::unique_ptr<SerialIo> m_serial;
    std::unique_ptr<GpibBoard> m_gpib;
    QPointer<Supply> m_supply;

    QString m_commType;
    QString m_machineType;
    QString m_familyWord = QLatin1String(Commands::DefaultFamilyWord);
    QString m_serialCaption;
    int m_mainFormState = 0;
    bool m_answerHasType = false;
    QString m_knownType;
    bool m_remembersChoice = true;
    bool m_isSuspendOutput = false;
    bool m_isQueryInitialValues = false;
    std::function<void(bool)> m_afterInitialValues;
    int m_baudRate = 9600;
    int m_gpibAddress = 0;
    Commands::Dialect m_dialect = Commands::DialectChannelScpi;
    double m_getTypeStart = 0;
};
