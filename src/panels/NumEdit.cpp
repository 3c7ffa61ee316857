#include "panels/NumEdit.h"

#include "common/NumberFormat.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace {

// Internal precision: the value keeps what was typed or read back even when the display
// pattern shows fewer decimals; the commands round it themselves.
constexpr int InternalDecimals = 6;

} // namespace

NumEdit::NumEdit(QWidget *parent) : QDoubleSpinBox(parent)
{
    setDecimals(InternalDecimals);
    setMinimum(0);
    setMaximum(0);
    setKeyboardTracking(false); // a typed number counts once, on Enter or leaving the field
    setAccelerated(true);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(this, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            &NumEdit::onBaseValueChanged);
}

void NumEdit::setFormatPattern(const QString &pattern)
{
    m_pattern = pattern;
    lineEdit()->setText(textFromValue(value()));
}

QString NumEdit::displayPattern(const QString &pattern)
{
    return pattern.startsWith(QLatin1Char('.')) ? QLatin1Char('0') + pattern : pattern;
}

bool NumEdit::setValue(double v)
{
    if (!(v >= minimum() && v <= maximum()))
        return false;
    QDoubleSpinBox::setValue(v);
    return true;
}

QString NumEdit::formatRequest(double v, const QString &proposed, bool keep) const
{
    if (keep)
        return proposed;
    return NumberFormat::format(v, displayPattern(m_pattern), locale());
}

void NumEdit::setKeepProposedText(bool keep)
{
    m_keep = keep;
    lineEdit()->setText(textFromValue(value()));
}

QString NumEdit::textFromValue(double v) const
{
    return formatRequest(v, QDoubleSpinBox::textFromValue(v), m_keep);
}

bool NumEdit::parse(const QString &text, double &v) const
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    v = locale().toDouble(t, &ok);
    if (!ok) // a '.' typed where the locale uses ','
        v = QLocale::c().toDouble(t, &ok);
    return ok;
}

double NumEdit::valueFromText(const QString &text) const
{
    // The text shown for the current value stands for that value at full precision, so
    // leaving the field or a refused entry never rounds the value to the display.
    if (text == textFromValue(value()))
        return value();
    double v = 0;
    return parse(text, v) ? v : value();
}

QValidator::State NumEdit::validate(QString &input, int &) const
{
    const QString t = input.trimmed();
    if (t.isEmpty())
        return QValidator::Intermediate;
    const QString point = locale().decimalPoint();
    int separators = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c.isDigit())
            continue;
        if (c == QLatin1Char('-') && i == 0)
            continue; // below the minimum: not accepted, Enter brings the previous value back
        if ((c == QLatin1Char('.') || QString(c) == point) && ++separators == 1)
            continue;
        return QValidator::Invalid; // letters, a second separator
    }
    double v = 0;
    if (!parse(t, v))
        return QValidator::Intermediate; // "-" or "." alone
    // Out of range while typing is not yet wrong: "40" passes "4" on its way. Entered, it
    // is refused as a whole (fixup), never cut to what fits.
    if (v > maximum() || v < minimum())
        return QValidator::Intermediate;
    return QValidator::Acceptable;
}

void NumEdit::fixup(QString &input) const
{
    // An unfinished entry falls back to the value in force.
    input = textFromValue(value());
}

void NumEdit::onBaseValueChanged(double v)
{
    const double previous = m_previous;
    m_previous = v;
    emit valueChanged(v, previous);
}

QString NumEdit::displayedText() const
{
    return lineEdit()->text();
}

void NumEdit::reportRefusedEntry()
{
    double v = 0;
    if (parse(lineEdit()->text(), v) && v > maximum())
        emit aboveMaximum(v);
}

void NumEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        reportRefusedEntry();
    QDoubleSpinBox::keyPressEvent(event);
}

void NumEdit::focusOutEvent(QFocusEvent *event)
{
    reportRefusedEntry();
    QDoubleSpinBox::focusOutEvent(event);
}
