#include "mainwin/DefaultCollaborators.h"

#include "datalog/RecordPlace.h"
#include "datalog/RecordStore.h"
#include "link/GpibBoard.h"
#include "link/SerialIo.h"
#include "connection/MachineTypeSource.h"
#include "connection/TransportLinks.h"
#include "panels/FrontPanel.h"
#include "panels/PanelFactory.h"
#include "setup/dlgConfigRS232.h"
#include "setup/dlgGPIB.h"

#include "mainwin/dialogs/InstrumentDialogs.h"

#include <QPointer>

namespace {

// The RS232 and GPIB dialogs of the set-up subsystem, created on first use.
class SetupDialogs : public InterfaceChooser
{
public:
    explicit SetupDialogs(QWidget *owner) : m_owner(owner) {}

    std::optional<Serial> chooseSerial(bool isDirect, const QString &caption) override
    {
        dlgConfigRS232 &d = rs232();
        d.setCaption(caption);
        if (!d.Execute(isDirect))
            return std::nullopt;
        return Serial{d.portName(), d.baudRate()};
    }

    std::optional<Gpib> chooseGpib(bool isDirect) override
    {
        if (!m_gpib)
            m_gpib = new dlgGPIB(m_owner);
        if (!m_gpib->Execute(isDirect))
            return std::nullopt;
        return Gpib{m_gpib->board(), m_gpib->address()};
    }

    void offerPort(const QString &path) override { rs232().addPort(path); }
    void setReleasePort(std::function<void()> release) override
    {
        m_release = std::move(release);
        if (m_rs232)
            m_rs232->setReleaseEnginePort(m_release);
    }

private:
    dlgConfigRS232 &rs232()
    {
        if (!m_rs232) {
            m_rs232 = new dlgConfigRS232(m_owner);
            if (m_release)
                m_rs232->setReleaseEnginePort(m_release);
        }
        return *m_rs232;
    }

    QWidget *m_owner;
    QPointer<dlgConfigRS232> m_rs232;
    QPointer<dlgGPIB> m_gpib;
    std::function<void()> m_release;
};

// The five instrument-action dialogs, created on first use and kept.
class ModalActionDialogs : public ActionDialogs
{
public:
    explicit ModalActionDialogs(QWidget *owner) : m_owner(owner) {}

    std::optional<AutoRange> autoMode() override
    {
        auto &d = get(m_autoMode);
        if (!d.Execute())
            return std::nullopt;
        return AutoRange{d.StartMemory(), d.EndMemory(), d.Cycle()};
    }
    std::optional<QString> delay() override
    {
        auto &d = get(m_delay);
        if (!d.Execute())
            return std::nullopt;
        return QString::number(d.Delay());
    }
    std::optional<int> readTimes() override
    {
        auto &d = get(m_readTimes);
        if (!d.Execute())
            return std::nullopt;
        return d.ReadTimes();
    }
    std::optional<int> saveMemory() override
    {
        auto &d = get(m_save);
        if (!d.Execute())
            return std::nullopt;
        return d.Memory();
    }
    std::optional<int> recallMemory() override
    {
        auto &d = get(m_recall);
        if (!d.Execute())
            return std::nullopt;
        return d.Memory();
    }

private:
    template <typename D>
    D &get(QPointer<D> &p)
    {
        if (!p)
            p = new D(m_owner);
        return *p;
    }

    QWidget *m_owner;
    QPointer<dlgAutoMode> m_autoMode;
    QPointer<dlgDelay> m_delay;
    QPointer<dlgReadTimes> m_readTimes;
    QPointer<dlgSaveData> m_save;
    QPointer<dlgRecallData> m_recall;
};

} // namespace

namespace DefaultCollaborators {

void complete(MDIForm1::Collaborators &c, QWidget *owner)
{
    if (!c.machineTypes)
        c.machineTypes = std::make_shared<CatalogueMachineTypes>();
    if (!c.panelFactory)
        c.panelFactory = &createFrontPanel;
    if (!c.interfaces)
        c.interfaces = std::make_unique<SetupDialogs>(owner);
    if (!c.links)
        c.links = std::make_unique<TransportLinks>();
    if (!c.dialogs)
        c.dialogs = std::make_unique<ModalActionDialogs>(owner);
    if (!c.records) {
        // Without a usable store the table window still opens; its operations then say why
        // they fail.
        c.records = std::make_shared<RecordStore>();
        c.records->open();
    }
    if (!c.place)
        c.place = std::make_shared<RecordPlace>(*c.records);
}

} // namespace DefaultCollaborators
