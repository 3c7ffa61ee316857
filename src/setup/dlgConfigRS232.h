#pragma once

#include "ports/PortProber.h"

#include "ports/AutoDetect.h"

#include <QDialog>
#include <QTimer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

// Chooses the serial port and baud rate of the supply, by hand or by the automatic search,
// and remembers them in section "RS232". The port list holds the system's serial ports plus
// any device path typed into it (the list is editable) or offered by the program (addPort).
// The main window reads portName() and BaudRate after Execute returned true.
class dlgConfigRS232 : public QDialog
{
    Q_OBJECT
public:
    // `lister` and `prober` default to the system's ports and a QSerialPort; the dialog owns them.
    explicit dlgConfigRS232(QWidget *parent = nullptr, std::unique_ptr<PortLister> lister = {},
                            std::unique_ptr<PortProber> prober = {});
    ~dlgConfigRS232() override;

    // Reads the settings and selects them; shows the dialog modally unless `IsDirect`; on OK
    // stores the choice and returns true. A port that is neither listed nor present is refused
    // with a message (the dialog stays open; with `IsDirect` Execute returns false).
    bool Execute(bool IsDirect = false);

    QString portName() const { return ComPort; }
    int baudRate() const { return BaudRate; }
    void setCaption(const QString &caption) { setWindowTitle(caption); }

    // Offers `path` in the port list from now on (the built-in virtual supply's link).
    void addPort(const QString &path);
    // Called before the search probes ports, so the engine's own port is closed first.
    void setReleaseEnginePort(std::function<void()> release) { m_releaseEnginePort = std::move(release); }

    void GetSettings();
    void SetSettings();

    static const QStringList &baudList();
    // The item role holding what the system says of a listed port (shown beside its name).
    static constexpr int PortDescriptionRole = Qt::UserRole + 1;
    static constexpr int PortRefreshMs = 1500;
    AutoDetector &autoDetector() { return *m_detector; }
    bool isSearching() const;

    // Public values, valid after Execute returned true.
    QString ComPort;  // port name as listed ("ttyUSB0") or a device path
    int BaudRate = 9600;

public slots:
    void cmdAutoConn_Click();
    void searchFinished(const AutoDetector::Result &result);

    // Lists the system's ports again when they changed (an adapter plugged in or out).
    void refreshPorts();

protected:
    void accept() override;
    void reject() override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void EnumeratePorts();
    void applyStoredSelection();
    // Validates the port field; adds a typed, existing device to the list. Messages on refusal.
    bool takePortField();
    void selectPort(const QString &port);
    void setSearching(bool searching);

    std::unique_ptr<PortLister> m_lister;
    std::unique_ptr<PortProber> m_prober;
    std::unique_ptr<AutoDetector> m_detector;
    std::function<void()> m_releaseEnginePort;
    QStringList m_extraPorts;
    QStringList m_systemPorts;  // as last listed
    QTimer m_portWatch;

    // Stored settings, as last read.
    QString m_storedPort;
    int m_storedBaud = 9600;
    int m_storedPortIndex = 0;
    int m_storedBaudIndex = 0;
    bool m_ok = false;

    QComboBox *Combo1;
    QComboBox *Combo2;
    QPushButton *cmdAutoConn;
    QProgressBar *ProgressBar1;
    QPushButton *OKButton;
    QPushButton *CancelButton;
};
