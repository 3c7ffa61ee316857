#include "mainwin/dlgRecordPlace.h"

#include "datalog/ServerRecordStore.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <utility>

dlgRecordPlace::dlgRecordPlace(QWidget *parent, Tester tester)
    : QDialog(parent), m_tester(tester ? std::move(tester) : Tester([](const RecordPlaceSettings &where) {
          return ServerRecordStore::probe(where, true);
      }))
{
    setObjectName(QStringLiteral("dlgRecordPlace"));
    setWindowTitle(QStringLiteral("Place of Saved Records"));

    auto *placeBox = new QGroupBox(QStringLiteral("Save, list and load records on"), this);
    placeBox->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    optThisComputer = new QRadioButton(RecordPlaceSettings::placeName(RecordPlaceSettings::Place::ThisComputer), placeBox);
    optThisComputer->setObjectName(QStringLiteral("optThisComputer"));
    optLabServer = new QRadioButton(RecordPlaceSettings::placeName(RecordPlaceSettings::Place::LabServer), placeBox);
    optLabServer->setObjectName(QStringLiteral("optLabServer"));
    auto *placeLayout = new QVBoxLayout(placeBox);
    placeLayout->addWidget(optThisComputer);
    placeLayout->addWidget(optLabServer);
    auto *recordingNote = new QLabel(QStringLiteral("A recording always runs on this computer; "
                                                    "only saved records go to the server."), placeBox);
    recordingNote->setWordWrap(true);
    placeLayout->addWidget(recordingNote);

    m_serverFields = new QGroupBox(QStringLiteral("Lab server (PostgreSQL)"), this);
    m_serverFields->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    txtHost = new QLineEdit(m_serverFields);
    txtHost->setObjectName(QStringLiteral("txtHost"));
    txtHost->setPlaceholderText(QStringLiteral("localhost"));
    numPort = new QSpinBox(m_serverFields);
    numPort->setObjectName(QStringLiteral("numPort"));
    numPort->setRange(1, 65535);
    txtDatabase = new QLineEdit(m_serverFields);
    txtDatabase->setObjectName(QStringLiteral("txtDatabase"));
    txtUser = new QLineEdit(m_serverFields);
    txtUser->setObjectName(QStringLiteral("txtUser"));
    txtUser->setPlaceholderText(QStringLiteral("your login name"));
    auto *password = new QLabel(QStringLiteral("The password is not kept by this program: put it in "
                                               "~/.pgpass (or a service file) on this computer."), m_serverFields);
    password->setWordWrap(true);
    cmdTest = new QPushButton(QStringLiteral("&Test connection"), m_serverFields);
    cmdTest->setObjectName(QStringLiteral("cmdTest"));
    lblTestResult = new QLabel(m_serverFields);
    lblTestResult->setObjectName(QStringLiteral("lblTestResult"));
    lblTestResult->setWordWrap(true);
    lblTestResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *form = new QFormLayout(m_serverFields);
    form->addRow(QStringLiteral("&Host:"), txtHost);
    form->addRow(QStringLiteral("&Port:"), numPort);
    form->addRow(QStringLiteral("&Database:"), txtDatabase);
    form->addRow(QStringLiteral("&User:"), txtUser);
    form->addRow(password);
    form->addRow(cmdTest, lblTestResult);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(placeBox);
    layout->addWidget(m_serverFields);
    layout->addStretch();
    layout->addWidget(buttons);
    setMinimumWidth(420);
    adjustSize();

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(optLabServer, &QRadioButton::toggled, this, &dlgRecordPlace::updateEnabled);
    connect(cmdTest, &QPushButton::clicked, this, &dlgRecordPlace::cmdTest_Click);
    for (QLineEdit *edit : {txtHost, txtDatabase, txtUser})
        connect(edit, &QLineEdit::textEdited, lblTestResult, &QLabel::clear);
    GetSettings();
}

void dlgRecordPlace::GetSettings()
{
    const RecordPlaceSettings s = RecordPlaceSettings::read();
    (s.place == RecordPlaceSettings::Place::LabServer ? optLabServer : optThisComputer)->setChecked(true);
    txtHost->setText(s.host);
    numPort->setValue(s.port);
    txtDatabase->setText(s.database);
    txtUser->setText(s.user);
    lblTestResult->clear();
    updateEnabled();
}

void dlgRecordPlace::SetSettings()
{
    chosen().write();
}

RecordPlaceSettings dlgRecordPlace::chosen() const
{
    RecordPlaceSettings s;
    s.place = optLabServer->isChecked() ? RecordPlaceSettings::Place::LabServer
                                        : RecordPlaceSettings::Place::ThisComputer;
    s.host = txtHost->text().trimmed();
    s.port = numPort->value();
    if (!txtDatabase->text().trimmed().isEmpty())
        s.database = txtDatabase->text().trimmed();
    s.user = txtUser->text().trimmed();
    return s;
}

void dlgRecordPlace::updateEnabled()
{
    m_serverFields->setEnabled(optLabServer->isChecked());
}

void dlgRecordPlace::cmdTest_Click()
{
    lblTestResult->setText(QStringLiteral("Connecting..."));
    lblTestResult->repaint();
    // The connection is tried behind a progress box that can be cancelled.
    const RecordPlaceSettings s = chosen();
    const std::optional<StoreError> failed = m_tester(s);
    lblTestResult->setText(failed ? failed->description
                                  : QStringLiteral("Connected to %1; the record tables are ready.").arg(s.serverName()));
}

QString dlgRecordPlace::testResult() const
{
    return lblTestResult->text();
}

bool dlgRecordPlace::Execute()
{
    GetSettings();
    return exec() == QDialog::Accepted;
}

void dlgRecordPlace::accept()
{
    SetSettings();
    QDialog::accept();
}
