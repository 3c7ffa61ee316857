#include "MainwinRig.h"

#include "panels/NumEdit.h"
#include "panels/PanelFactory.h"
#include "ui/QtPrompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
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

PanelFactoryFn testPanelFactory()
{
    return [](PanelHost &host, Supply &supply) -> std::unique_ptr<FrontPanel> {
        return std::make_unique<TestPanel>(host, supply);
    };
}

SimSupply::SimSupply(const QString &type) : SimSupply(sim::modelForType(type).value()) {}

SimSupply::SimSupply(const sim::SupplyModel &model) : supply(std::make_unique<sim::VirtualSupply>(model))
{
    QVERIFY2(replug(), qPrintable(server->errorString()));
}

bool SimSupply::replug()
{
    server = std::make_unique<sim::PtySupplyServer>(*supply);
    server->setWireTimeEmulation(false);
    return server->start(linkDir.filePath(QStringLiteral("supply")));
}

QStringList SimSupply::commandsSince(int from) const
{
    return linesSince(from).filter(QRegularExpression(QStringLiteral("^[^?]*$")));
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

QString textOf(const QWidget *parent, const QString &name)
{
    const QWidget *child = parent->findChild<QWidget *>(name);
    return child ? child->property("text").toString() : QStringLiteral("<no %1>").arg(name);
}

QStringList listItems(const QWidget *parent, const QString &name)
{
    QStringList out;
    if (const auto *list = parent->findChild<QListWidget *>(name)) {
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
    }
    return out;
}

void typeInto(QWidget *numEdit, const QString &text)
{
    numEdit->setFocus();
    qobject_cast<NumEdit *>(numEdit)->selectAll();
    QTest::keyClicks(numEdit, text);
    QTest::keyClick(numEdit, Qt::Key_Return);
}

std::unique_ptr<MDIForm1> makeWindow(bool realPanels, std::shared_ptr<RecordStore> records)
{
    MDIForm1::Collaborators c;
    c.records = std::move(records);
    if (!realPanels)
        c.panelFactory = testPanelFactory();
    auto w = std::make_unique<MDIForm1>(std::move(c));
    w->show();
    return w;
}

QString stateOf(const MDIForm1 &w)
{
    return QStringLiteral("%1 %2 %3").arg(w.MainFormState()).arg(w.LayoutType()).arg(w.MachineType());
}

bool connectTo(MDIForm1 &w, const SimSupply &sim, int baud)
{
    w.SetupSerialPort(sim.port(), baud);
    return QTest::qWaitFor([&] { return w.MainFormState() != 1; }, 10000) && w.MainFormState() == 3
        && QTest::qWaitFor([&] { return w.OperatorForm() && w.OperatorForm()->isVisible(); }, 30000);
}
