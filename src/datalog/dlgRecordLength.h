#pragma once

#include <QDialog>

#include <array>

class QComboBox;
class QFrame;
class QLineEdit;

// Switches the record setup turns on or off when it is closed with OK: the main window's
// polling timer and the task engine's waiting and writer timers.
class RecordSetupTimers
{
public:
    virtual ~RecordSetupTimers() = default;
    virtual void setQueryTimerOn(bool on) = 0;
    virtual void setWaitingTimerOn(bool on) = 0;
    virtual void setWriterTimerOn(bool on) = 0;
};

// The record setup ("Dialog Record Time Length"): record length, sampling scale, point
// operation, channel colours and three timer values, kept in the settings section
// "RECORDPERIOD". Loaded once and only hidden between uses.
class dlgRecordLength : public QDialog
{
    Q_OBJECT
public:
    explicit dlgRecordLength(RecordSetupTimers *timers = nullptr, QWidget *parent = nullptr);

    void GetSettings();
    void SetSettings();
    // Shows the dialog modally; true after OK, with the values and the settings updated.
    bool Execute();

    // The values, named like their keys. Colours are the decimal text of 0x00BBGGRR.
    int Days = 0;
    int Hours = 0;
    int Miniutes = 0;
    int Seconds = 0;  // seconds, a multiple of 5
    int RecScale = 0;
    int RecPointStyle = 0;
    std::array<QString, 4> ChColor;
    QString WaitingTime;
    QString RoundTime;
    QString WriterTime;
    bool Result = false;

    // The colour text of channel 0..3 as shown (what the graph takes).
    QString colorText(int channel) const;
    // The colour chooser for channel 0..3, as when its colour box receives the focus.
    void chooseColor(int channel);

    // Design-time swatch colours of the four channels.
    static const std::array<int, 4> &defaultColors();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void OKButton_Click();
    void CancelButton_Click();
    void cmdScale_Click();
    bool recordLengthAccepted();
    void checkTimerText(QLineEdit *box, const QString &message, const QString &reset);
    void showColor(int channel, int value);

    RecordSetupTimers *m_timers;
    QComboBox *m_days;
    QComboBox *m_hours;
    QComboBox *m_minutes;
    QComboBox *m_seconds;
    QComboBox *m_scale;
    QComboBox *m_operation;
    std::array<QLineEdit *, 4> m_colorText{};
    std::array<QFrame *, 4> m_swatch{};
    std::array<int, 4> m_swatchColor{};
    QLineEdit *m_waiting;
    QLineEdit *m_round;
    QLineEdit *m_writer;
    bool m_choosing = false;
};
