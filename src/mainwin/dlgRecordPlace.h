#pragma once

#include "datalog/RecordTypes.h"
#include "settings/RecordPlaceSettings.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;

// Chooses where saved records are kept, "This computer" or "Lab server", with the server's
// host, port, database and user, remembered in section "RecordPlace". "Test connection"
// connects to the server as typed and says whether that worked. No password is asked for:
// the server's client library reads it from ~/.pgpass or a service file.
class dlgRecordPlace : public QDialog
{
    Q_OBJECT
public:
    // Connects to the server the settings name; the error when that failed.
    using Tester = std::function<std::optional<StoreError>(const RecordPlaceSettings &)>;

    explicit dlgRecordPlace(QWidget *parent = nullptr, Tester tester = {});

    // Reads the settings and shows them; shows the dialog modally; on OK stores the choice
    // and returns true.
    bool Execute();

    void GetSettings();
    void SetSettings();
    // What the controls show now.
    RecordPlaceSettings chosen() const;
    void cmdTest_Click();
    QString testResult() const;

protected:
    void accept() override;

private:
    void updateEnabled();

    Tester m_tester;
    QRadioButton *optThisComputer;
    QRadioButton *optLabServer;
    QWidget *m_serverFields;
    QLineEdit *txtHost;
    QSpinBox *numPort;
    QLineEdit *txtDatabase;
    QLineEdit *txtUser;
    QPushButton *cmdTest;
    QLabel *lblTestResult;
};
