#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class GpibBoard;
class SerialIo;

// How a connection learns which interface to use and opens it. The desktop program asks in
// its RS232 and GPIB dialogs; the command line takes both from its options.

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
