#pragma once

#include <QLineEdit>

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

signals:
    void delivered();
};
