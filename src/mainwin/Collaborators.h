#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class FrontPanel;
class GpibBoard;
class PanelHost;
class QWidget;
class SerialIo;
class Supply;

// The parts the main window works with but does not own the design of: the interface
// dialogs, the links, the instrument-action dialogs and the panel forms. Each has a default
// (MDIForm1 creates it when none is given); tests substitute their own where a real one
// would need a person at the keyboard or hardware.

// Creates the panel form of layout 1..4 (null for a layout without one).
using PanelFactoryFn = std::function<std::unique_ptr<FrontPanel>(PanelHost &host, Supply &supply)>;

class InterfaceChooser
{
public:
    struct Serial {
        QString port;
        int baud = 9600;
    };
    struct Gpib {
        int board = 0;
        int address = 0;
    };
    virtual ~InterfaceChooser() = default;
    // The RS232 dialog (captioned `caption`); with `isDirect` the stored choice without showing.
    virtual std::optional<Serial> chooseSerial(bool isDirect, const QString &caption) = 0;
    virtual std::optional<Gpib> chooseGpib(bool isDirect) = 0;
    // Offers a device path in the port list from now on.
    virtual void offerPort(const QString &) {}
    // Called before an automatic port search, to let the program's own port go.
    virtual void setReleasePort(std::function<void()>) {}
};

class LinkOpener
{
public:
    virtual ~LinkOpener() = default;
    // Opens the port (sending the remote command, then pausing as the supply needs). Returns
    // the link even when opening failed (identification then fails by its deadline); null
    // only when no link can be made at all. `error` receives the reason of a failure.
    virtual std::unique_ptr<SerialIo> openSerial(const QString &port, int baud, QString *error) = 0;
    virtual std::unique_ptr<GpibBoard> openGpib(int board, int address, QString *error) = 0;
    // Closes a link this opener made, at once, so its port can be opened again right away
    // (the object itself may be deleted later).
    virtual void close(SerialIo &) {}
};

class ActionDialogs
{
public:
    struct AutoRange {
        int start = 0;
        int end = 0;
        int cycle = 0;
    };
    virtual ~ActionDialogs() = default;
    // Each runs its dialog; nullopt when cancelled.
    virtual std::optional<AutoRange> autoMode() = 0;
    virtual std::optional<QString> delay() = 0;  // units of 100 ms, as typed
    virtual std::optional<int> readTimes() = 0;  // seconds, 0..32
    virtual std::optional<int> saveMemory() = 0;
    virtual std::optional<int> recallMemory() = 0;
};
