#include "panels/frmLayout1.h"

#include "panels/PanelStyle.h"
#include "panels/TextBox.h"
#include "resources/Strings.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

frmLayout1::frmLayout1(PanelHost &host, Supply &supply, QWidget *parent)
    : ChannelPanel(host, supply, parent)
{
    setObjectName(QStringLiteral("frmLayout1"));
    setWindowTitle(QStringLiteral("Front Panel"));

    auto *outer = new QVBoxLayout(this);
    auto *channels = new QHBoxLayout;
    for (int i = 0; i < 3; ++i)
        channels->addWidget(buildChannelFrame(i, Strings::res(281 + i), true));
    outer->addLayout(channels);

    auto *controls = new QHBoxLayout;
    controls->addWidget(buildModeFrame(QStringLiteral("Out Mode"), QStringLiteral("INDEP"),
                                       QStringLiteral("PARALL"), QStringLiteral("TRACK")));
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(buildOutputButton());
    buttons->addWidget(buildAutoRunButton());
    buttons->addWidget(buildClearErrorButton());
    buttons->addStretch();
    controls->addLayout(buttons);
    controls->addWidget(buildAutoModeFrame());
    auto *delayMemory = new QVBoxLayout;
    delayMemory->addWidget(buildDelayFrame());
    delayMemory->addWidget(buildMemoryFrame());
    controls->addLayout(delayMemory);
    controls->addStretch();
    outer->addLayout(controls);
    outer->addWidget(buildCommTypeLine());

    PanelStyle::apply(*this);
}
