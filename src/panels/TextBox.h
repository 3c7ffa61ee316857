#pragma once

#include <QLineEdit>

// A text field whose text the task engine assigns by the property name "Text" (answers of
// queries are delivered that way). Visible ones are readouts; hidden ones are response slots
// whose textChanged handler parses the answer.
class TextBox : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ text WRITE setText)
public:
    using QLineEdit::QLineEdit;
};
