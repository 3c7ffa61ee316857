#pragma once

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

// A text field whose text the task engine assigns by the property name "Text" (answers of
// queries are delivered that way). Visible ones are readouts; hidden ones are response slots.
// Every assignment through "Text" raises delivered(), also when the answer equals the text
// already held, so a response slot handles each answer, not only changed ones.
class TextBox : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ text WRITE assign)
public:
    using QLineEdit::QLineEdit;

    void assign(const QString &text)
    {
        setText(text);
        emit delivered();
    }

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

signals:
    void delivered();
};
