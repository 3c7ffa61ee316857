#pragma once

#include "common/Prompter.h"

class QFileDialog;

// The prompter of the windowed program: Qt's message boxes, colour and file dialogs, and a
// progress box with Cancel. Needs a QApplication; the program installs it at start-up.
class QtPrompter : public Prompter
{
public:
    void message(const QString &text, const QString &title, Severity severity) override;
    void notify(const QString &text, const QString &title, Severity severity) override;
    bool question(const QString &text, const QString &title) override;
    Choice saveDiscardCancel(const QString &text, const QString &title) override;
    std::optional<QColor> chooseColor(const QColor &initial) override;
    QString saveFileName(const QString &caption, const QString &dir, const QString &filter) override;
    // Qt's own file dialog (never the desktop's), with the check box added under its fields.
    QString saveFileNameWithOption(const QString &caption, const QString &dir, const QString &filter,
                                   const QString &option, bool &checked) override;
    void waitFor(const QString &text, BackgroundWork &work) override;
    // A busy pointer over every window of the program meanwhile.
    void setBusy(bool busy) override;

private:
    // While a box waits for an answer the pointer is the usual one, busy or not.
    class UsualPointer;
    int m_busy = 0;

    // Shows `dialog` and returns the path the typed name means; empty when cancelled.
    QString chosenPath(QFileDialog &dialog, const QString &caption);
};
