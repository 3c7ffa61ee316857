#include "connection/SupplyConnection.h"

#include "common/Clock.h"
#include "common/Prompter.h"
#include "link/GpibBoard.h"
#include "link/SerialIo.h"
#include "connection/LinkInterfaces.h"
#include "connection/CommTypes.h"
#include "connection/MachineTypeSource.h"
#include "resources/Strings.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "ports/AutoDetect.h"
#include "supply/Supply.h"

using namespace CommTypes;

SupplyConnection::SupplyConnection(ConnectionView &view, const MachineTypeSource &machineTypes,
                                   InterfaceChooser &interfaces, LinkOpener *links, QObject *parent)
    : QObject(parent), m_view(view), m_machineTypes(machineTypes), m_interfaces(interfaces),
      m_links(links)
{
    m_engine.setHost(this);
    QueryTimer.setInterval(QueryIntervalMs);
    connect(&QueryTimer, &QTimer::timeout, this, &SupplyConnection::QueryTimer_Timer);
    // The deadline is measured on the program's clock; the timer only looks at it often.
    GetMachineTypeTimer.setInterval(100);
    connect(&GetMachineTypeTimer, &QTimer::timeout, this, &SupplyConnection::GetMachineTypeTimer_Timer);
    SettleTimer.setSingleShot(true);
    SettleTimer.setInterval(SerialSettleMs);
    connect(&SettleTimer, &QTimer::timeout, this, &SupplyConnection::SettleTimer_Timer);
    connect(&m_initialValues, &InitialValuesWatch::finished, this, &SupplyConnection::initialValuesDone);
}

SupplyConnection::~SupplyConnection()
{
    // The view may be gone already: nothing is reported from here on.
    m_engine.setHost(nullptr);
    shutDown();
}

void SupplyConnection::shutDown()
{
    QueryTimer.stop();
    GetMachineTypeTimer.stop();
    SettleTimer.stop();
    m_engine.ResetAll();
    closeLinks();
    releaseSupply();
}

void SupplyConnection::setMainFormState(int state)
{
    m_mainFormState = state;
    if (m_supply)
        m_supply->setRunning(state == 3);
}

// ---------------------------------------------------------------- links

bool SupplyConnection::mayReplace()
{
    if (!running())
        return true;
    if (!Prompter::current().question(Strings::res(103), Strings::res(104)))
        return false;
    ResetAll();
    return true;
}

void SupplyConnection::Setup(const QString &commType, const QString &type, bool IsDirect)
{
    if (!mayReplace())
        return;
    if (commType == RS232) {
        const QString caption = m_serialCaption.isEmpty() ? Strings::res(216) : m_serialCaption;
        m_serialCaption.clear();
        const auto choice = m_interfaces.chooseSerial(IsDirect, caption);
        if (!choice)
            return;
        SetupSerialPort(choice->port, choice->baud);
    } else if (commType == GPIB) {
        const auto choice = m_interfaces.chooseGpib(IsDirect);
        if (!choice)
            return;
        closeLinks();
        QString error;
        m_gpib = m_links ? m_links->openGpib(choice->board, choice->address, &error) : nullptr;
        // A board that cannot be used (no GPIB library, no such board) is said at once.
        if (!m_gpib || !error.isEmpty()) {
            m_gpib.reset();
            Prompter::current().notify(
                error.isEmpty() ? QStringLiteral("The GPIB link cannot be opened.") : error,
                QString(), Prompter::Severity::Critical);
            return;
        }
        m_gpibAddress = choice->address;
        m_engine.setGpibBoard(m_gpib.get());
        BeginGetMachineType(GPIB, QString());
        m_view.showStatusText(Strings::res(105));
    } else if (commType == Menu) {
        BeginGetMachineType(Menu, type);
    }
}

void SupplyConnection::SetupSerialPort(const QString &port, int baud)
{
    if (!mayReplace())
        return;
    if (!openSerial(port, baud))
        return;
    // The supply needs a moment after "REMOTE" before it answers; identification starts
    // when SettleTimer fires. Meanwhile the window counts as identifying.
    setMainFormState(1);
    m_view.identificationStarted();
    m_view.showStatusText(Strings::res(105));
    SettleTimer.start();
}

void SupplyConnection::SettleTimer_Timer()
{
    if (m_mainFormState != 1)
        return;  // reset meanwhile
    BeginGetMachineType(RS232, QString());
    m_view.showStatusText(Strings::res(105));
}

bool SupplyConnection::openSerial(const QString &port, int baud)
{
    closeLinks();
    QString error;
    if (m_links)
        m_serial = m_links->openSerial(port, baud, &error);
    m_baudRate = baud;
    if (!error.isEmpty()) {
        // Nothing could answer on a port that is not open: say why, with the system's reason,
        // instead of waiting for the identification deadline.
        trace(QStringLiteral("RS232: ") + error);
        closeLinks();
        Prompter::current().notify(error, QString(), Prompter::Severity::Critical);
        return false;
    }
    m_engine.setSerialIo(m_serial.get());
    return true;
}

void SupplyConnection::closeLinks()
{
    m_engine.setSerialIo(nullptr);
    m_engine.setGpibBoard(nullptr);
    // A link may be closed from inside one of its own signals: delete it later.
    if (m_serial) {
        if (m_links)
            m_links->close(*m_serial);
        m_serial.release()->deleteLater();
    }
    if (m_gpib)
        m_gpib.release()->deleteLater();
}

// ---------------------------------------------------------------- identification

void SupplyConnection::BeginGetMachineType(const QString &commType, const QString &type)
{
    m_engine.ResetTasks();
    m_engine.ResetTimeoutTask();
    m_view.identificationStarted();
    setMainFormState(1);
    m_commType = commType;
    m_engine.CommType = commType;
    if (commType == Menu) {
        m_machineType = type;
        if (m_view.listMachineTypes())
            OkGetMachineType();
        else
            FailGetMachineType();
    } else if (!m_knownType.isEmpty()) {
        m_machineType = m_knownType;
        if (m_view.listMachineTypes())
            OkGetMachineType();
        else
            FailGetMachineType();
    } else if (commType == RS232 || commType == GPIB) {
        m_answerHasType = false;
        m_engine.SetupTimeoutTask(this, [this] { DevGetMachineTypeTimeout(); });
        m_engine.ExecQueryTask(QLatin1String(Commands::Identify), 5, this,
                               [this](const QString &answer) { DevSetupMachineType(answer); });
        m_getTypeStart = Clock::current().monotonicSeconds();
        GetMachineTypeTimer.start();
    }
}

void SupplyConnection::DevSetupMachineType(const QString &answer)
{
    if (m_mainFormState != 1)
        return;  // a late answer after a reset
    ReportStatus(answer, 1000);
    m_engine.ResetTimeoutTask();
    m_machineType = MachineTypeRules::ParseMachineType(answer, &m_answerHasType);
    // The layout is built outside the engine's delivery call.
    QTimer::singleShot(100, this, &SupplyConnection::DevSetupMachineType2);
}

void SupplyConnection::DevSetupMachineType2()
{
    if (m_mainFormState != 1)
        return;
    // An answer without a second field names no type: not supported.
    if (m_answerHasType && (m_view.listMachineTypes() || m_view.listMachineTypes())) {
        OkGetMachineType();
        AutoDetect::AutoConnecting = false;
    } else {
        FailGetMachineType();
    }
}

void SupplyConnection::GetMachineTypeTimer_Timer()
{
    if (!GetMachineTypeTimer.isActive())
        return;
    const double elapsed = Clock::current().monotonicSeconds() - m_getTypeStart;
    if (elapsed * 1000.0 < GetMachineTypeMs)
        return;
    GetMachineTypeTimer.stop();
    FailGetMachineType();
    // Nothing answered at all: say what usually causes that.
    ReportStatus(QLatin1String(NoAnswerHint), 15000);
}

void SupplyConnection::DevGetMachineTypeTimeout()
{
    FailGetMachineType();
    ReportStatus(Strings::res(107), 2000);
}

void SupplyConnection::FailGetMachineType()
{
    GetMachineTypeTimer.stop();
    // Everything is reset before the message shows, so nothing waits behind it.
    ResetAll();
    EndGetMachineType();
    Prompter::current().notify(Strings::res(101));
}

void SupplyConnection::OkGetMachineType()
{
    GetMachineTypeTimer.stop();
    m_dialect = Commands::dialectFor(m_machineType, m_familyWord);
    setMainFormState(3);
    SetSettings();
    EndGetMachineType();
    m_engine.SetupTimeoutTask(this, [this] { OperationTimeout(); });
    const auto row = m_machineTypes.find(m_machineType);
    const int layout = row ? row->layout : 0;
    const MachineTypeSource &types = m_machineTypes;
    if (channelCountOfLayout(layout) > 0) {
        m_supply = new Supply(m_engine, layout, m_machineType, m_dialect,
                              [&types](const QString &mtype) { return types.find(mtype); }, this);
        m_supply->setRunning(true);
    }
    if (!m_supply || !m_view.showSupply(*m_supply)) {
        const QString type = m_machineType;
        ResetAll();
        Prompter::current().notify(
            QStringLiteral("The machine type %1 has no front panel.").arg(type));
        return;
    }
    // Read times: the stored budget of one polling cycle.
    m_engine.ReadTimesMs = qBound(0, SettingsStore::readInt(SettingKeys::ReadTimes), 32) * 1000;
    QueryInitialValues([this](bool cancelled) {
        if (cancelled) {
            ResetAll();
            return;
        }
        if (!m_supply)
            return;
        CheckOutput();
        m_supply->applyReadTimes();
        m_view.supplyReady();
    });
}

void SupplyConnection::EndGetMachineType()
{
    m_view.identificationEnded();
    m_engine.ResetTasks();
    m_engine.ResetTimeoutTask();
}

void SupplyConnection::SetSettings()
{
    if (!m_remembersChoice)
        return;
    SettingsStore::write(SettingKeys::CommType, m_commType);
    SettingsStore::write(SettingKeys::MType, m_machineType);
}

// ---------------------------------------------------------------- values and polling

void SupplyConnection::QueryInitialValues(std::function<void(bool cancelled)> then)
{
    m_afterInitialValues = std::move(then);
    if (m_commType != RS232 && m_commType != GPIB) {
        initialValuesDone(false);  // nothing to ask without a supply
        return;
    }
    if (!m_supply) {
        initialValuesDone(true);
        return;
    }
    m_isSuspendOutput = true;
    m_isQueryInitialValues = true;
    // The supply queues its queries behind the busy dialog; initialValuesDone follows.
    m_supply->setReadingInitialValues(true);
    m_supply->queueInitialQueries();
    m_initialValues.start();
    m_view.startInitialValuesDialog();
}

void SupplyConnection::initialValuesDone(bool cancelled)
{
    m_isSuspendOutput = false;
    m_isQueryInitialValues = false;
    if (m_supply)
        m_supply->setReadingInitialValues(false);
    if (const std::function<void(bool)> then = std::exchange(m_afterInitialValues, nullptr))
        then(cancelled);
}

void SupplyConnection::CheckOutput()
{
    if (!ready() || m_isSuspendOutput)
        return;
    if (m_commType == RS232 || m_commType == GPIB) {
        if (m_supply->outputOn()) {
            if (!QueryTimer.isActive())
                QueryTimer.start();
            return;
        }
        QueryTimer.stop();
        m_engine.ResetQueryTasks();
        m_supply->clearReadings();
    } else if (m_commType == Menu) {
        m_supply->clearReadings();
    }
}

void SupplyConnection::QueryTimer_Timer()
{
    if (m_supply)
        m_supply->pollNext();
}

// ---------------------------------------------------------------- resets

void SupplyConnection::ResetAll()
{
    m_engine.ResetAll();
    m_commType.clear();
    m_engine.CommType.clear();
    setMainFormState(0);
    QueryTimer.stop();
    GetMachineTypeTimer.stop();
    SettleTimer.stop();
    // A reset ends the busy dialog without running what was to follow it.
    m_initialValues.stop();
    m_view.stopInitialValuesDialog();
    m_afterInitialValues = nullptr;
    m_isSuspendOutput = false;
    m_isQueryInitialValues = false;
    emit wasReset();
    closeLinks();
    m_view.connectionReset();
    releaseSupply();
}

void SupplyConnection::releaseSupply()
{
    // Deleted after the panel the view released, which shows it until then; it sends
    // nothing meanwhile.
    if (m_supply) {
        m_supply->setRunning(false);
        m_supply->deleteLater();
    }
    m_supply = nullptr;
}

void SupplyConnection::OperationTimeout()
{
    // Everything is reset before the message shows, so nothing waits behind it.
    ResetAll();
    Prompter::current().notify(Strings::res(115), Strings::res(116), Prompter::Severity::Critical);
}
