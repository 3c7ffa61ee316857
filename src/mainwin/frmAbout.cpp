#include "mainwin/frmAbout.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ZEP 2016"));
    auto *title = new QLabel(QStringLiteral("<h2>ZEP 2016</h2>"), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    auto *version = new QLabel(
        QStringLiteral("Version %1").arg(QApplication::applicationVersion()), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto *what = new QLabel(
        QStringLiteral("Remote control and data logging for programmable DC power supplies."), this);
    what->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(version);
    layout->addWidget(what);
    layout->addWidget(buttons);
}
