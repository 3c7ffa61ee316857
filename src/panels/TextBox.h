#pragma once

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

// A read-only text field of a front panel: a readout or a display.
class TextBox : public QLineEdit
{
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

    // The font its text is drawn in (its style sheet's, once polished) and the width in
    // pixels the text has inside the frame, padding and margins.
    QFontMetrics readoutMetrics() const
    {
        ensurePolished();
        return fontMetrics();
    }
    int textRoom() const
    {
        ensurePolished();
        QStyleOptionFrame option;
        initStyleOption(&option);
        const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
        constexpr int LineEditMargin = 2;  // QLineEdit keeps this much free on either side
        return contents.width() - textMargins().left() - textMargins().right() - 2 * LineEditMargin;
    }
};
