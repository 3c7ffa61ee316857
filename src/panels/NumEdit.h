#pragma once

#include <QDoubleSpinBox>
#include <QString>

// Numeric editor of the front panels: a spin box with a maximum, a minimum, an increment (the
// step of typing arrows, the buttons and the mouse wheel), and a display format pattern such
// as ".000" (see NumberFormat). Every change of the value, by the user or by setValue(),
// raises valueChanged(value, previous); the panel decides whether a change is sent. A typed
// value outside minimum..maximum is refused when entered (the previous value is shown again;
// one above the maximum raises aboveMaximum), and so is a programmatic value below the
// minimum or above the maximum.
class NumEdit : public QDoubleSpinBox
{
    Q_OBJECT
public:
    explicit NumEdit(QWidget *parent = nullptr);

    // The display format; ".00" shows 5 as "5.00" (a lone leading zero is always shown, so
    // 0.5 reads "0.50").
    void setFormatPattern(const QString &pattern);
    QString formatPattern() const { return m_pattern; }
    // The pattern as shown: one with no integer digit (".000") gets a leading "0".
    static QString displayPattern(const QString &pattern);

    void setIncrement(double step) { setSingleStep(step); }
    double increment() const { return singleStep(); }

    // Sets the value; false (and no change) when it lies outside minimum..maximum.
    bool setValue(double value);

    // The text the editor shows.
    QString displayedText() const;

    // The format request: the text to show for `value`. `proposed` is the spin box's own
    // rendering; with `keep` true it is used as is, otherwise `value` is formatted with the
    // editor's pattern in the editor's locale. setKeepProposedText() sets the flag the
    // editor passes when it formats its own value.
    QString formatRequest(double value, const QString &proposed, bool keep) const;
    void setKeepProposedText(bool keep);
    bool keepProposedText() const { return m_keep; }

    QString textFromValue(double value) const override;
    double valueFromText(const QString &text) const override;
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

signals:
    void valueChanged(double value, double previous);
    // A typed number above the maximum was entered and refused.
    void aboveMaximum(double typed);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void onBaseValueChanged(double value);
    void reportRefusedEntry();
    bool parse(const QString &text, double &value) const;

    QString m_pattern = QStringLiteral(".00");
    bool m_keep = false;
    double m_previous = 0;
};
