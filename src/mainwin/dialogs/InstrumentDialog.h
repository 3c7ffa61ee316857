#pragma once

#include <QDialog>
#include <QList>

class QFormLayout;
class QSpinBox;
struct SettingKey;

// Common frame of the small instrument-action dialogs: labelled whole-number fields, each
// kept in the settings under its own key, and OK / Cancel.
// Execute(): GetSettings, show modally; on OK read the fields back, SetSettings and return
// true; on Cancel return false and change nothing.
class InstrumentDialog : public QDialog
{
    Q_OBJECT
public:
    explicit InstrumentDialog(QWidget *parent = nullptr);

    bool Execute();
    void GetSettings();
    void SetSettings() const;

protected:
    struct Field {
        const SettingKey *key;
        QSpinBox *box;
        int value;
    };
    // Adds a field "label [box] unit" bound to `key`; returns the box.
    QSpinBox *addField(const SettingKey &key, const QString &label, int min, int max,
                       const QString &unit, const char *objectName);
    int fieldValue(int index) const { return m_fields.at(index).value; }
    void setFieldValue(int index, int value) { m_fields[index].value = value; }

private:
    QFormLayout *m_form;
    QList<Field> m_fields;
};
