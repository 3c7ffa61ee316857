#include "panels/frmLayout2.h"

#include "common/NumberFormat.h"
#include "common/Prompter.h"
#include "link/Answers.h"
#include "panels/NumEdit.h"
#include "panels/PanelHost.h"
#include "panels/PanelStyle.h"
#include "panels/TextBox.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Commands;

namespace {

// Highest multi-unit setting; 3 and 4 are configurations the panel cannot change.
constexpr int MaxUnitSetting = 4;

} // namespace

frmLayout2::frmLayout2(PanelHost &host, Supply &supply, QWidget *parent)
    : ChannelPanel(host, supply, parent)
{
    setObjectName(QStringLiteral("frmLayout2"));
    setWindowTitle(QStringLiteral("Front Panel"));
    supply.setUnitSetting(0);

    auto *row = new QHBoxLayout;
    row->addWidget(buildChannelFrame(0, QString(), true));
    auto *side = new QVBoxLayout;
    QGroupBox *mode = buildModeFrame(QStringLiteral("Paralle/Serial"), QStringLiteral("LOCAL"),
                                     QStringLiteral("PARALL"), QStringLiteral("SERIES"));
    m_numSet = new NumEdit(this);
    m_numSet->setObjectName(QStringLiteral("numSet"));
    m_numSet->setRange(0, MaxUnitSetting);
    m_numSet->setIncrement(1);
    m_numSet->setFormatPattern(QStringLiteral("0"));
    // Follows the options, not the enable sets: usable only in parallel or series operation.
    m_numSet->setEnabled(false);
    m_numSet->setToolTip(QStringLiteral("Units working together in parallel or series; 0 is local "
                                        "operation"));
    connect(m_numSet, &NumEdit::valueChanged, this, [this](double v) { onSetChanged(v); });
    auto *units = new QLabel(QStringLiteral("Units"), this);
    units->setObjectName(QStringLiteral("lblSet"));
    units->setBuddy(m_numSet);
    auto *unitsRow = new QHBoxLayout;
    unitsRow->addWidget(units);
    unitsRow->addWidget(m_numSet, 1);
    static_cast<QBoxLayout *>(mode->layout())->addLayout(unitsRow);
    connect(&supply, &Supply::unitSettingReported, this, &frmLayout2::showUnitSetting);
    side->addWidget(mode);
    side->addWidget(buildOutputButton());
    side->addWidget(buildClearErrorButton());
    side->addWidget(buildMemoryFrame());
    side->addStretch();
    row->addLayout(side);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(row);
    outer->addWidget(buildCommTypeLine());

    PanelStyle::apply(*this);
}

QString frmLayout2::warningText()
{
    return QStringLiteral("If you want to use the Parallel or Series feature, read the "
                          "Parallel/Series Operation chapter of User Manual first.");
}

bool frmLayout2::isPlainScpi() const
{
    return supply().dialect() == DialectPlainScpi;
}

QList<QWidget *> frmLayout2::parallelLocked() const
{
    return {m_ch[0].numVoltage, m_ch[0].numCurrent, m_ch[0].numOVP};
}

QList<QWidget *> frmLayout2::trackLocked() const
{
    return {m_ch[0].numVoltage, m_ch[0].numOVP};
}

void frmLayout2::couplingClicked(Coupling mode)
{
    if (mode == CouplingIndependent) {
        m_pending.reset();
        m_numSet->setEnabled(false);
        supply().selectCoupling(mode);
        return;
    }
    if (m_warning) {
        if (!Prompter::current().question(warningText())) {
            m_numSet->setEnabled(false);
            return;  // the option in force stays selected
        }
        m_warning = false;
    }
    m_numSet->setEnabled(true);
    // The supply's configuration is read before it is written: when it was not read with
    // the initial values, the mode is applied once it has answered.
    if (isPlainScpi() && !supply().unitSettingKnown() && host().CommType() != QLatin1String("Menu")) {
        // Asked again on every click: an answer lost on the way leaves nothing waiting.
        supply().queryUnitSetting();
        m_pending = mode;
        return;
    }
    applyCoupling(mode);
}

void frmLayout2::applyCoupling(Coupling mode)
{
    // Unit setting 0 is local operation: parallel or series takes at least one unit.
    if (isPlainScpi() && m_numSet->value() < 1)
        m_numSet->setValue(1);
    supply().selectCoupling(mode);
}

void frmLayout2::showUnitSetting(int x)
{
    for (QRadioButton *opt : {m_optIndep, m_optParal, m_optTrack})
        opt->setEnabled(true);
    const std::optional<Coupling> pending = std::exchange(m_pending, std::nullopt);
    switch (x) {
    case 0: m_optIndep->setChecked(true); break;
    case 1:
    case 2: m_optParal->setChecked(true); break;
    case 3:
    case 4:
        // Set up at the supply in a way the panel cannot change.
        for (QRadioButton *opt : {m_optIndep, m_optParal, m_optTrack})
            opt->setEnabled(false);
        return;
    default: return;
    }
    // Shown, not sent: the supply is in this configuration already.
    m_showingSetting = true;
    m_numSet->setValue(x);
    m_showingSetting = false;
    m_numSet->setEnabled(x > 0 || pending);
    if (pending)
        applyCoupling(*pending);
}

void frmLayout2::onSetChanged(double value)
{
    supply().setUnitSetting(int(value));
    // No units together is local operation, chosen as its option's click chooses it.
    if (int(value) == 0 && !m_showingSetting)
        couplingClicked(CouplingIndependent);
}
