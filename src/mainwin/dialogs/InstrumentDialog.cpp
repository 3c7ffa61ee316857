#include "mainwin/dialogs/InstrumentDialog.h"

#include "settings/SettingsStore.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

InstrumentDialog::InstrumentDialog(QWidget *parent) : QDialog(parent)
{
    setModal(true);
    auto *outer = new QVBoxLayout(this);
    m_form = new QFormLayout;
    outer->addLayout(m_form);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    outer->addWidget(buttons);
}

QSpinBox *InstrumentDialog::addField(const SettingKey &key, const QString &label, int min,
                                     int max, const QString &unit, const char *objectName)
{
    auto *box = new QSpinBox(this);
    box->setObjectName(QLatin1String(objectName));
    box->setRange(min, max);
    if (unit.isEmpty()) {
        m_form->addRow(label, box);
    } else {
        auto *row = new QHBoxLayout;
        row->addWidget(box, 1);
        row->addWidget(new QLabel(unit, this));
        m_form->addRow(label, row);
    }
    m_fields.append(Field{&key, box, 0});
    return box;
}

void InstrumentDialog::GetSettings()
{
    // A hand-edited value outside the field's range is brought into it.
    for (Field &f : m_fields)
        f.value = qBound(f.box->minimum(), SettingsStore::readInt(*f.key), f.box->maximum());
}

void InstrumentDialog::SetSettings() const
{
    for (const Field &f : m_fields)
        SettingsStore::writeInt(*f.key, f.value);
}

bool InstrumentDialog::Execute()
{
    GetSettings();
    for (Field &f : m_fields)
        f.box->setValue(f.value);
    // The first number has the focus, all selected: typing replaces it, Enter confirms it.
    if (!m_fields.isEmpty()) {
        m_fields.first().box->setFocus(Qt::OtherFocusReason);
        m_fields.first().box->selectAll();
    }
    if (exec() != QDialog::Accepted)
        return false;
    for (Field &f : m_fields) {
        f.box->interpretText();
        f.value = f.box->value();
    }
    SetSettings();
    return true;
}
