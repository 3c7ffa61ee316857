#include "MainwinRig.h"

#include "panels/PanelFactory.h"
#include "ui/QtPrompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <QtTest>

namespace {
// The main window's tests see the program's real message boxes unless they install a
// scripted prompter, as the program installs them at start-up.
QtPrompter dialogs;
void installDialogs()
{
    Prompter::install(&dialogs);
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(installDialogs)

TestPanel::TestPanel(PanelHost &host, Supply &supply) : FrontPanel(host, supply)
{
    setFixedSize(300 + 100 * channelCount(), 240);
}

int TestPanel::layoutNumber() const
{
    return supply().layout();
}

PanelFactoryFn testPanelFactory()
{
    return [](PanelHost &host, Supply &supply) -> std::unique_ptr<FrontPanel> {
        return std::make_unique<TestPanel>(host, supply);
    };
}

SimSupply::SimSupply(const QString &type) : SimSupply(sim::modelForType(type).value()) {}

SimSupply::SimSupply(const sim::SupplyModel &model) : supply(std::make_unique<sim::VirtualSupply>(model))
{
    server = std::make_unique<sim::PtySupplyServer>(*supply);
    server->setWireTimeEmulation(false);
    QVERIFY2(server->start(linkDir.filePath(QStringLiteral("supply"))), qPrintable(server->errorString()));
}

SimSupply::~SimSupply()
{
    if (server)
        server->stop();
}

void onNextDialog(const QString &name, std::function<void(QDialog *)> act, int timeoutMs)
{
    auto *timer = new QTimer(qApp);
    auto ticksLeft = std::make_shared<int>(timeoutMs / 20);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        const bool match = dialog && dialog->isVisible()
            && (dialog->objectName() == name || QLatin1String(dialog->metaObject()->className()) == name);
        if (match || --*ticksLeft < 0)
            timer->stop();
        if (match)
            act(dialog);
        if (!timer->isActive())
            timer->deleteLater();
    });
    timer->start();
}

void pressButton(QDialog *dialog, const QString &buttonName)
{
    auto *b = dialog->findChild<QAbstractButton *>(buttonName);
    QVERIFY2(b, qPrintable(buttonName));
    b->click();
}

std::unique_ptr<MDIForm1> makeWindow(bool realPanels)
{
    MDIForm1::Collaborators c;
    if (!realPanels)
        c.panelFactory = testPanelFactory();
    auto w = std::make_unique<MDIForm1>(std::move(c));
    w->show();
    return w;
}

bool connectTo(MDIForm1 &w, const SimSupply &sim, int baud)
{
    w.SetupSerialPort(sim.port(), baud);
    return QTest::qWaitFor([&] { return w.MainFormState() != 1; }, 10000) && w.MainFormState() == 3
        && QTest::qWaitFor([&] { return w.OperatorForm() && w.OperatorForm()->isVisible(); }, 30000);
}
