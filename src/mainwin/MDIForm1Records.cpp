// The main window's Record menu and its data windows: record setup, start and stop go to the
// recording session, save and load to the table window; samples an unsaved recording left
// behind are shown at start.
#include "mainwin/MDIForm1.h"

#include "common/Prompter.h"
#include "datalog/RecordPlace.h"
#include "datalog/RecordScale.h"
#include "datalog/RecordStore.h"
#include "datalog/RecordingSession.h"
#include "datalog/frmDataTable.h"
#include "connection/MachineTypeSource.h"
#include "datalog/frmGraphicRecord.h"
#include "mainwin/dlgRecordPlace.h"
#include "settings/SettingsStore.h"

#include <QAction>

namespace {

constexpr int RecoveredStatusMs = 20000;

} // namespace

void MDIForm1::mnuRecordPeriod_Click()
{
    if (!m_table || !m_recordLength->Execute())
        return;
    // A time-out while the dialog was open resets the link and closes the table window.
    if (!m_table)
        return;
    const dlgRecordLength &d = *m_recordLength;
    m_session->RecordPeriod(d.Days, d.Hours, d.Miniutes, d.Seconds, d.RecScale, d.RecPointStyle);
    // The colours chosen show at once.
    if (m_wave)
        m_wave->ChangeCursorColor(d.ChColor[0], d.ChColor[1], d.ChColor[2], d.ChColor[3]);
}

void MDIForm1::mnuRecordStart_Click()
{
    if (!m_table)
        return;
    if (m_session->engine().CountRecordCount() > 0)
        m_session->BeginRecordData();
    else
        Prompter::current().message(QStringLiteral("Please Setup Record the period first."), QString());
}

void MDIForm1::mnuRecordStop_Click()
{
    m_session->EndRecordData();
}

void MDIForm1::mnuRecordSave_Click()
{
    if (m_table)
        m_table->cmdSave_Click();
}

void MDIForm1::mnuRecordPlace_Click()
{
    if (!m_recordPlace)
        m_recordPlace = new dlgRecordPlace(this);
    if (m_recordPlace->Execute() && m_c.place) {
        m_c.place->reload();
        ReportStatus(QStringLiteral("Records are saved on: %1")
                         .arg(RecordPlaceSettings::placeName(m_c.place->settings().place)), 5000);
    }
}

void MDIForm1::mnuRecordLoad_Click()
{
    if (m_table)
        m_table->cmdLoadRecord_Click();
}

void MDIForm1::setQueryTimerOn(bool on)
{
    // Polling still runs only while the output is on.
    if (on)
        m_connection->CheckOutput();
    else
        m_connection->QueryTimer.stop();
}

void MDIForm1::setWriterTimerOn(bool on)
{
    QTimer &writer = m_connection->engine().writerTimer();
    if (!on)
        writer.stop();
    else if (!writer.isActive())
        writer.start();
}

void MDIForm1::recoverUnsavedRecording()
{
    const std::optional<qint64> count = m_c.records->unsavedCount();
    if (!count || *count == 0)
        return;
    if (m_table) {
        // Made by a connection while the store was being checked: shows what it holds now.
        m_table->CmbSample_Click();
    } else {
        // The columns of the supply last identified; all four when it is not known.
        const auto row = m_c.machineTypes->find(SettingsStore::read(SettingKeys::MType));
        const int channels = row ? channelCountOfLayout(row->layout) : 0;
        NewTable1((channels > 0 ? channels : 4) - 1);
    }
    showOnly(m_table);
    // A connection under way replaces the table window with its own, and shows its panel:
    // the samples come to the front again then.
    m_showRecovered = !running();
    const QString text = QStringLiteral("%1 samples of a recording that was not saved were recovered; "
                                        "save them or clear them in the table window.").arg(*count);
    ReportStatus(text, RecoveredStatusMs);
    Prompter::current().notify(text, QString(), Prompter::Severity::Information);
}

void MDIForm1::mnuControl_Click()
{
    if (m_panel)
        showOnly(m_panel);
}

bool MDIForm1::recordMenuEnabled() const
{
    return m_menu.record && m_menu.record->isEnabled();
}

int MDIForm1::recordScale() const
{
    return m_recordLength->RecScale;
}

void MDIForm1::setRecordScale(int position)
{
    m_recordLength->RecScale = std::clamp(position, 0, RecordScale::Positions - 1);
    SettingsStore::writeInt(SettingKeys::RecScale, m_recordLength->RecScale);
}
