#pragma once

#include "common/Prompter.h"
#include "mainwin/MDIForm1.h"
#include "panels/FrontPanel.h"
#include "sim/PtySupplyServer.h"
#include "sim/SupplyModel.h"
#include "sim/VirtualSupply.h"

#include <QDialog>
#include <QPointer>
#include <QTemporaryDir>
#include <functional>
#include <memory>

// A small panel for the main window's tests: a fixed size for the supply's channel count,
// and a record of what the main window asked of it.
class TestPanel : public FrontPanel
{
    Q_OBJECT
public:
    TestPanel(PanelHost &host, Supply &supply);
    int layoutNumber() const override { return supply().layout(); }
    void SetupLayout() override { calls << "SetupLayout"; }

    QStringList calls;
};

PanelFactoryFn testPanelFactory();

// A virtual supply served on a pseudo-terminal in this process.
class SimSupply
{
public:
    explicit SimSupply(const QString &type);
    explicit SimSupply(const sim::SupplyModel &model);
    ~SimSupply() { server->stop(); }

    QString port() const { return server->portName(); }
    int lineCount() const { return int(supply->receivedLines().size()); }
    QStringList linesSince(int from) const { return supply->receivedLines().mid(from); }
    // The lines since `from` that are commands (no "?").
    QStringList commandsSince(int from) const;
    // The cable plugged in again: a new server on the same link.
    bool replug();

    // The link has a path of its own, so a lock left on a pseudo-terminal's number by some
    // other program's run cannot fail a test.
    QTemporaryDir linkDir;
    std::unique_ptr<sim::VirtualSupply> supply;
    std::unique_ptr<sim::PtySupplyServer> server;
};

// Acts on the next modal dialog of class `T` as soon as it shows (OK or Cancel, after
// letting `edit` change its fields). Bounded: gives up after `timeoutMs`.
void onNextDialog(const QString &objectNameOrClass, std::function<void(QDialog *)> act,
                  int timeoutMs = 20000);
void pressButton(QDialog *dialog, const QString &buttonName);
// The text of the named child of `parent` (a label, line edit or button).
QString textOf(const QWidget *parent, const QString &name);
// The item texts of the named list widget of `parent`.
QStringList listItems(const QWidget *parent, const QString &name);
// Types `text` over the number editor's contents, then Enter.
void typeInto(QWidget *numEdit, const QString &text);

// A scripted prompter installed for its lifetime.
struct InstalledPrompter : ScriptedPrompter {
    ScopedPrompter scope{*this};
};

// The window's state, layout and machine type, as "3 1 XPP-3202".
QString stateOf(const MDIForm1 &w);

// Opens the supply's port in the window and waits (bounded) until it has been identified
// and its panel is up. False when the window ends in another state.
bool connectTo(MDIForm1 &w, const SimSupply &sim, int baud = 115200);

// A main window with the test panel (or the real layouts with `realPanels`), no action
// dialogs replaced; on `records` when given.
std::unique_ptr<MDIForm1> makeWindow(bool realPanels = false, std::shared_ptr<RecordStore> records = {});
