#include "mainwin/MDIForm1.h"

#include "common/Clock.h"
#include "common/Prompter.h"
#include "link/GpibBoard.h"
#include "link/SerialIo.h"
#include "mainwin/CommTypes.h"
#include "mainwin/MachineTypeSource.h"
#include "resources/Strings.h"
#include "settings/SettingsStore.h"
#include "setup/AutoDetect.h"

#include <QLabel>
#include <QMenu>

// Connecting to a supply and learning its machine type.

using namespace CommTypes;

void MDIForm1::Setup(const QString &commType, const QString &type, bool IsDirect)
{
    if (running()) {
        if (!Prompter::current().question(Strings::res(103), Strings::res(104)))
            return;
        ResetAll();
    }
    if (commType == RS232) {
        const QString caption = m_serialCaption.isEmpty() ? Strings::res(216) : m_serialCaption;
        m_serialCaption.clear();
        const auto choice = m_c.interfaces->chooseSerial(IsDirect, caption);
        if (!choice)
            return;
        SetupSerialPort(choice->port, choice->baud);
    } else if (commType == GPIB) {
        const auto choice = m_c.interfaces->chooseGpib(IsDirect);
        if (!choice)
            return;
        closeLinks();
        QString error;
        m_gpib = m_c.links ? m_c.links->openGpib(choice->board, choice->address, &error) : nullptr;
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
        m_statusLabel->setText(Strings::res(105));
    } else if (commType == Menu) {
        BeginGetMachineType(Menu, type);
    }
}

void MDIForm1::SetupSerialPort(const QString &port, int baud)
{
    if (running()) {
        if (!Prompter::current().question(Strings::res(103), Strings::res(104)))
            return;
        ResetAll();
    }
    if (!openSerial(port, baud))
        return;
    // The supply needs a moment after "REMOTE" before it answers; identification starts
    // when SettleTimer fires. Meanwhile the window counts as identifying.
    setMainFormState(1);
    m_items["mnuGPIB"]->setEnabled(false);
    m_items["mnuRS232"]->setEnabled(false);
    m_statusLabel->setText(Strings::res(105));
    SettleTimer.start();
}

void MDIForm1::SettleTimer_Timer()
{
    if (m_mainFormState != 1)
        return;  // reset meanwhile
    BeginGetMachineType(RS232, QString());
    m_statusLabel->setText(Strings::res(105));
}

void MDIForm1::offerSerialPort(const QString &path)
{
    m_c.interfaces->offerPort(path);
}

bool MDIForm1::openSerial(const QString &port, int baud)
{
    closeLinks();
    QString error;
    if (m_c.links)
        m_serial = m_c.links->openSerial(port, baud, &error);
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

void MDIForm1::closeLinks()
{
    m_engine.setSerialIo(nullptr);
    m_engine.setGpibBoard(nullptr);
    // A link may be closed from inside one of its own signals: delete it later.
    if (m_serial) {
        if (m_c.links)
            m_c.links->close(*m_serial);
        m_serial.release()->deleteLater();
    }
    if (m_gpib)
        m_gpib.release()->deleteLater();
}

void MDIForm1::BeginGetMachineType(const QString &commType, const QString &type)
{
    m_engine.ResetTasks();
    m_engine.ResetTimeoutTask();
    m_items["mnuGPIB"]->setEnabled(false);
    m_items["mnuRS232"]->setEnabled(false);
    setMainFormState(1);
    m_commType = commType;
    m_engine.CommType = commType;
    if (commType == Menu) {
        m_machineType = type;
        if (SetupMenuMachineTypes())
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

void MDIForm1::DevSetupMachineType(const QString &answer)
{
    if (m_mainFormState != 1)
        return;  // a late answer after a reset
    ReportStatus(answer, 1000);
    m_engine.ResetTimeoutTask();
    m_machineType = MachineTypeRules::ParseMachineType(answer, &m_answerHasType);
    // The layout is built outside the engine's delivery call.
    QTimer::singleShot(100, this, &MDIForm1::DevSetupMachineType2);
}

void MDIForm1::DevSetupMachineType2()
{
    if (m_mainFormState != 1)
        return;
    // An answer without a second field names no type: not supported.
    if (m_answerHasType && (SetupMenuMachineTypes() || SetupMenuMachineTypes())) {
        OkGetMachineType();
        AutoDetect::AutoConnecting = false;
    } else {
        FailGetMachineType();
    }
}

void MDIForm1::GetMachineTypeTimer_Timer()
{
    if (!GetMachineTypeTimer.isActive())
        return;
    const double elapsed = Clock::current().monotonicSeconds() - m_getTypeStart;
    if (elapsed * 1000.0 < GetMachineTypeMs)
        return;
    GetMachineTypeTimer.stop();
    FailGetMachineType();
    // Nothing answered at all: say what usually causes that.
    ReportStatus(NoAnswerHint, 15000);
}

void MDIForm1::DevGetMachineTypeTimeout()
{
    FailGetMachineType();
    ReportStatus(Strings::res(107), 2000);
}

void MDIForm1::FailGetMachineType()
{
    GetMachineTypeTimer.stop();
    // Everything is reset before the message shows, so nothing waits behind it.
    ResetAll();
    EndGetMachineType();
    Prompter::current().notify(Strings::res(101));
}

void MDIForm1::OkGetMachineType()
{
    GetMachineTypeTimer.stop();
    m_items["mnuWave"]->setEnabled(true);
    setWindowTitle(m_machineType);
    m_dialect = Commands::dialectFor(m_machineType, m_familyWord);
    setMainFormState(3);
    SetSettings();
    EndGetMachineType();
    if (!SetupLayout()) {
        const QString type = m_machineType;
        ResetAll();
        Prompter::current().notify(
            QStringLiteral("The machine type %1 has no front panel.").arg(type));
        return;
    }
    // Read times: the stored budget of one polling cycle.
    m_engine.ReadTimesMs = qBound(0, SettingsStore::readInt(SettingKeys::ReadTimes), 32) * 1000;
    SetupToolBar();
    SetupMenu();
    QueryInitialValues(AfterInitialValues::ShowPanel);
}

void MDIForm1::EndGetMachineType()
{
    m_items["mnuGPIB"]->setEnabled(m_layoutType < 3);
    m_items["mnuRS232"]->setEnabled(true);
    m_engine.ResetTasks();
    m_engine.ResetTimeoutTask();
}

void MDIForm1::SetSettings()
{
    SettingsStore::write(SettingKeys::CommType, m_commType);
    SettingsStore::write(SettingKeys::MType, m_machineType);
}

