#include "setup/dlgGPIB.h"

#include "settings/SettingsStore.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {

QComboBox *numberList(const char *name, int last, QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    for (int n = 0; n <= last; ++n)
        combo->addItem(QString::number(n));
    return combo;
}

// A hand-edited number outside the list reads as the default, so OK stores a listed number.
int inRangeOrZero(int value, int last)
{
    return value >= 0 && value <= last ? value : 0;
}

} // namespace

dlgGPIB::dlgGPIB(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgGPIB"));
    setWindowTitle(QStringLiteral("Dialog Caption"));
    setModal(true);

    cmbGPIBn = numberList("cmbGPIBn", MaxBoard, this);
    cmbAddress = numberList("cmbAddress", MaxAddress, this);
    auto *lblGPIBn = new QLabel(QStringLiteral("GPIBn:"), this);
    lblGPIBn->setObjectName(QStringLiteral("lblGPIBn"));
    auto *lblAddress = new QLabel(QStringLiteral("Address"), this);
    lblAddress->setObjectName(QStringLiteral("lblAddress"));
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(lblGPIBn, 0, 0);
    grid->addWidget(cmbGPIBn, 0, 1);
    grid->addWidget(ok, 0, 2);
    grid->addWidget(lblAddress, 1, 0);
    grid->addWidget(cmbAddress, 1, 1);
    grid->addWidget(cancel, 1, 2);

    connect(ok, &QPushButton::clicked, this, &dlgGPIB::accept);
    connect(cancel, &QPushButton::clicked, this, &dlgGPIB::reject);
}

void dlgGPIB::GetSettings()
{
    m_storedBoard = inRangeOrZero(SettingsStore::readInt(SettingKeys::GpibBoard), MaxBoard);
    m_storedAddress = inRangeOrZero(SettingsStore::readInt(SettingKeys::GpibAddress), MaxAddress);
}

void dlgGPIB::SetSettings()
{
    SettingsStore::writeInt(SettingKeys::GpibBoard, GPIBn);
    SettingsStore::writeInt(SettingKeys::GpibAddress, Address);
}

bool dlgGPIB::Execute(bool IsDirect)
{
    GetSettings();
    cmbGPIBn->setCurrentIndex(m_storedBoard);
    cmbAddress->setCurrentIndex(m_storedAddress);
    m_ok = false;
    if (IsDirect)
        m_ok = true;
    else
        exec();
    if (m_ok) {
        GPIBn = cmbGPIBn->currentIndex();
        Address = cmbAddress->currentIndex();
        SetSettings();
    }
    return m_ok;
}

void dlgGPIB::accept()
{
    m_ok = true;
    QDialog::accept();
}

void dlgGPIB::reject()
{
    m_ok = false;
    QDialog::reject();
}
