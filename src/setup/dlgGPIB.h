#pragma once

#include <QDialog>

class QComboBox;

// Chooses the GPIB board (0..10) and the supply's primary address (0..30), remembered in
// section "GPIB". The main window reads board() and address() after Execute returned true.
class dlgGPIB : public QDialog
{
    Q_OBJECT
public:
    static constexpr int MaxBoard = 10;
    static constexpr int MaxAddress = 30;

    explicit dlgGPIB(QWidget *parent = nullptr);

    // Reads the settings and selects them; shows the dialog modally unless `IsDirect`; on OK
    // stores the choice and returns true. A stored number outside the lists selects 0.
    bool Execute(bool IsDirect = false);

    int board() const { return GPIBn; }
    int address() const { return Address; }

    void GetSettings();
    void SetSettings();

    // Public values, valid after Execute returned true.
    int GPIBn = 0;
    int Address = 0;

protected:
    void accept() override;
    void reject() override;

private:
    int m_storedBoard = 0;
    int m_storedAddress = 0;
    bool m_ok = false;
    QComboBox *cmbGPIBn;
    QComboBox *cmbAddress;
};
