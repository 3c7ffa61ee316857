#include "setup/dlgConfigRS232.h"

#include "common/Prompter.h"
#include "resources/Strings.h"
#include "settings/SettingsStore.h"
#include "ports/AutoDetect.h"
#include "ports/PortChoice.h"
#include "ports/PortProber.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

QLabel *namedLabel(const char *name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QPushButton *namedButton(const char *name, const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

// Shows each port of the list as its name followed by what the system says of it; the item's
// text stays the bare name, which is what is stored and opened.
class PortItemDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString description = index.data(dlgConfigRS232::PortDescriptionRole).toString();
        if (!description.isEmpty())
            option->text += QStringLiteral(" \u2014 ") + description;
    }
};

const QString PortHint = QStringLiteral("Please choose a port from the list or type its device path.");

} // namespace

const QStringList &dlgConfigRS232::baudList()
{
    static const QStringList bauds{QStringLiteral("9600"), QStringLiteral("4800"), QStringLiteral("2400"),
                                   QStringLiteral("1200"), QStringLiteral("115200"), QStringLiteral("57600")};
    return bauds;
}

dlgConfigRS232::dlgConfigRS232(QWidget *parent, std::unique_ptr<PortLister> lister,
                               std::unique_ptr<PortProber> prober)
    : QDialog(parent)
    , m_lister(lister ? std::move(lister) : std::make_unique<SystemPortLister>())
    , m_prober(prober ? std::move(prober) : std::make_unique<SerialPortProber>())
    , m_detector(std::make_unique<AutoDetector>(*m_prober))
{
    setObjectName(QStringLiteral("dlgConfigRS232"));
    setWindowTitle(Strings::res(216));
    setModal(true);

    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);  // typed paths are checked on OK, then added
    Combo1->setMinimumContentsLength(16);
    Combo1->setItemDelegate(new PortItemDelegate(Combo1));
    // The popup is wider than the field when descriptions are long.
    Combo1->view()->setMinimumWidth(360);
    m_portWatch.setInterval(PortRefreshMs);
    connect(&m_portWatch, &QTimer::timeout, this, &dlgConfigRS232::refreshPorts);
    Combo2 = new QComboBox(this);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    Combo2->addItems(baudList());

    cmdAutoConn = namedButton("cmdAutoConn", QStringLiteral("Auto Dectect"), this);
    OKButton = namedButton("OKButton", QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    CancelButton = namedButton("CancelButton", QStringLiteral("Cancel"), this);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();

    auto *grid = new QGridLayout;
    grid->addWidget(namedLabel("lblPorts", Strings::res(211), this), 0, 0);
    grid->addWidget(Combo1, 0, 1);
    grid->addWidget(namedLabel("Label1", QStringLiteral("(ttyUSB0, ttyACM0, ttyS0 or a device path)"), this),
                    1, 1);
    grid->addWidget(namedLabel("lblBaudRate", Strings::res(212), this), 2, 0);
    grid->addWidget(Combo2, 2, 1);
    grid->addWidget(namedLabel("lblDataBits", Strings::res(213), this), 3, 0, 1, 2);
    grid->addWidget(namedLabel("lblParityBit", Strings::res(214), this), 4, 0, 1, 2);
    grid->addWidget(namedLabel("lblStopBit", Strings::res(215), this), 5, 0, 1, 2);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    buttons->addStretch();
    buttons->addWidget(cmdAutoConn);

    auto *top = new QHBoxLayout;
    top->addLayout(grid);
    top->addLayout(buttons);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addWidget(ProgressBar1);

    connect(OKButton, &QPushButton::clicked, this, &dlgConfigRS232::accept);
    connect(CancelButton, &QPushButton::clicked, this, &dlgConfigRS232::reject);
    connect(cmdAutoConn, &QPushButton::clicked, this, &dlgConfigRS232::cmdAutoConn_Click);
    connect(m_detector.get(), &AutoDetector::progress, this, [this](int value, int maximum) {
        ProgressBar1->setMaximum(qMax(1, maximum));
        ProgressBar1->setValue(value);
    });
    connect(m_detector.get(), &AutoDetector::finished, this, &dlgConfigRS232::searchFinished);
    connect(m_detector.get(), &AutoDetector::probing, this, [this](const QString &port, int baudPos) {
        selectPort(port);
        Combo2->setCurrentIndex(baudPos);
    });

    GetSettings();
    EnumeratePorts();
    applyStoredSelection();
}

dlgConfigRS232::~dlgConfigRS232() = default;

void dlgConfigRS232::GetSettings()
{
    // An absent port name stays empty, so the stored list position decides.
    const SettingKey &port = SettingKeys::ComPort;
    m_storedPort = SettingsStore::read(QLatin1String(port.section), QLatin1String(port.key)).trimmed();
    m_storedBaud = SettingsStore::readInt(SettingKeys::BaudRate);
    m_storedPortIndex = SettingsStore::readInt(SettingKeys::ComPortIndex);
    m_storedBaudIndex = SettingsStore::readInt(SettingKeys::BaudRateIndex);
}

void dlgConfigRS232::SetSettings()
{
    SettingsStore::write(SettingKeys::ComPort, ComPort);
    SettingsStore::writeInt(SettingKeys::BaudRate, BaudRate);
    SettingsStore::writeInt(SettingKeys::ComPortIndex, Combo1->currentIndex());
    SettingsStore::writeInt(SettingKeys::BaudRateIndex, Combo2->currentIndex());
}

void dlgConfigRS232::addPort(const QString &path)
{
    const QString trimmed = path.trimmed();
    if (trimmed.isEmpty() || m_extraPorts.contains(trimmed))
        return;
    m_extraPorts << trimmed;
    if (Combo1->findText(trimmed, Qt::MatchFixedString | Qt::MatchCaseSensitive) < 0)
        Combo1->addItem(trimmed);
}

void dlgConfigRS232::EnumeratePorts()
{
    const QString shown = Combo1->currentText();
    m_systemPorts = m_lister->ports();
    QStringList ports = m_systemPorts;
    for (const QString &extra : std::as_const(m_extraPorts)) {
        if (!ports.contains(extra) && PortLister::deviceExists(extra))
            ports << extra;
    }
    Combo1->clear();
    for (const QString &port : std::as_const(ports)) {
        Combo1->addItem(port);
        Combo1->setItemData(Combo1->count() - 1, m_lister->describe(port), PortDescriptionRole);
    }
    selectPort(shown);
}

void dlgConfigRS232::refreshPorts()
{
    // Never under a running search, which holds the list positions it probes.
    if (isSearching() || m_lister->ports() == m_systemPorts)
        return;
    EnumeratePorts();
}

void dlgConfigRS232::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_portWatch.start();
}

void dlgConfigRS232::hideEvent(QHideEvent *event)
{
    m_portWatch.stop();
    QDialog::hideEvent(event);
}

void dlgConfigRS232::selectPort(const QString &port)
{
    const int index = port.isEmpty() ? -1 : Combo1->findText(port, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    Combo1->setCurrentIndex(index);
    Combo1->setEditText(index >= 0 ? Combo1->itemText(index) : port);
}

void dlgConfigRS232::applyStoredSelection()
{
    QStringList ports;
    for (int i = 0; i < Combo1->count(); ++i)
        ports << Combo1->itemText(i);
    const PortChoice choice = PortChoice::choose(ports, m_storedPort, m_storedPortIndex);
    if (choice.appendName)
        Combo1->addItem(choice.text);
    Combo1->setCurrentIndex(choice.index);
    Combo1->setEditText(choice.text);
    Combo2->setCurrentIndex(PortChoice::chooseBaud(baudList(), m_storedBaud, m_storedBaudIndex));
}

bool dlgConfigRS232::takePortField()
{
    const QString text = Combo1->currentText().trimmed();
    if (text.isEmpty()) {
        Prompter::current().message(QStringLiteral("No serial port is selected.\r\n") + PortHint, QString(),
                                    Prompter::Severity::Warning);
        return false;
    }
    QStringList ports;
    for (int i = 0; i < Combo1->count(); ++i)
        ports << Combo1->itemText(i);
    if (!PortChoice::usable(ports, text)) {
        Prompter::current().message(QStringLiteral("The serial port \"%1\" is not available.\r\n").arg(text) + PortHint,
                                    QString(), Prompter::Severity::Warning);
        return false;
    }
    if (!ports.contains(text))
        addPort(text);
    selectPort(text);
    return true;
}

bool dlgConfigRS232::Execute(bool IsDirect)
{
    GetSettings();
    EnumeratePorts();
    applyStoredSelection();
    m_ok = false;
    if (IsDirect)
        m_ok = takePortField();
    else
        exec();
    if (m_ok) {
        ComPort = Combo1->currentText().trimmed();
        BaudRate = Combo2->currentText().toInt();
        SetSettings();
    }
    return m_ok;
}

void dlgConfigRS232::accept()
{
    if (isSearching() || !takePortField())
        return;
    m_ok = true;
    QDialog::accept();
}

void dlgConfigRS232::reject()
{
    if (isSearching())
        m_detector->cancel();
    m_ok = false;
    QDialog::reject();
}

bool dlgConfigRS232::isSearching() const
{
    return m_detector->isRunning();
}

void dlgConfigRS232::setSearching(bool searching)
{
    OKButton->setEnabled(!searching);
    cmdAutoConn->setEnabled(!searching);
    Combo1->setEnabled(!searching);
    Combo2->setEnabled(!searching);
    ProgressBar1->setValue(0);
    ProgressBar1->setVisible(searching);
}

void dlgConfigRS232::cmdAutoConn_Click()
{
    if (isSearching())
        return;
    AutoDetect::AutoConnecting = true;
    setSearching(true);
    if (m_releaseEnginePort)
        m_releaseEnginePort();

    // A device path typed into the field takes part in the search like a listed port.
    const QString typed = Combo1->currentText().trimmed();
    if (!typed.isEmpty() && Combo1->findText(typed) < 0 && PortLister::deviceExists(typed))
        addPort(typed);
    EnumeratePorts();
    QStringList candidates;
    for (int i = 0; i < Combo1->count(); ++i)
        candidates << Combo1->itemText(i);

    m_detector->start(candidates, baudList());
}

void dlgConfigRS232::searchFinished(const AutoDetector::Result &result)
{
    setSearching(false);
    // The outcome is told without waiting for OK: this runs under the search's timer.
    switch (result.outcome) {
    case AutoDetector::Outcome::Cancelled:
        AutoDetect::AutoConnecting = false;
        break;
    case AutoDetector::Outcome::NoPorts:
        AutoDetect::AutoConnecting = false;
        Prompter::current().notify(
            QStringLiteral("Your Device cannot find any connected device with Serial Port."));
        break;
    case AutoDetector::Outcome::NotFound:
        AutoDetect::AutoConnecting = false;
        Prompter::current().notify(
            QStringLiteral("Please recheck Line connection and Device Setting of your device!\r\n"
                           "Or Please restart power device.\r\n"
                           "And then Retry [Auto Detect] again"));
        break;
    case AutoDetector::Outcome::Found:
        selectPort(result.port);
        Combo2->setCurrentIndex(result.baudPos);
        Prompter::current().notify(QStringLiteral("Detect Configuration Successfully!\r\nPorts: ")
                                       + result.port + QStringLiteral(" ,Baud Rate:")
                                       + Combo2->currentText() + QStringLiteral("\r\n")
                                       + result.reply,
                                   QString(), Prompter::Severity::Information);
        break;
    }
}
