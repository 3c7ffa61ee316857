#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Work running on another thread that its caller waits for and the user may cancel.
class BackgroundWork
{
public:
    virtual ~BackgroundWork() = default;
    // Waits up to `ms` milliseconds; true once the work has finished.
    virtual bool wait(int ms) = 0;
    // Asks the work to stop soon; it still finishes (with a failure) before wait() says so.
    virtual void cancel() = 0;
};

// Every message box, question and chooser of the program goes through the installed prompter,
// so that tests can read what the user would have been told and answer questions.
class Prompter
{
public:
    virtual ~Prompter() = default;

    enum class Severity { Information, Warning, Critical };

    // A message with an OK button; an empty title means the application's title. Waits for
    // OK: for user actions only. Failures show a warning or error icon.
    virtual void message(const QString &text, const QString &title = QString(),
                         Severity severity = Severity::Information) = 0;
    // The same message without waiting for OK, for code that runs under a timer or an I/O
    // callback: shown once the caller has returned to the event loop. A text already on
    // screen is not shown a second time.
    virtual void notify(const QString &text, const QString &title = QString(),
                        Severity severity = Severity::Warning) = 0;
    // A Yes/No question; true means Yes.
    virtual bool question(const QString &text, const QString &title = QString()) = 0;
    // A question with the buttons Save, Discard and Cancel (before something unsaved goes).
    enum class Choice { Save, Discard, Cancel };
    virtual Choice saveDiscardCancel(const QString &text, const QString &title = QString()) = 0;
    // A colour chooser; nullopt when cancelled.
    virtual std::optional<QColor> chooseColor(const QColor &initial) = 0;
    // A save-file chooser; empty when cancelled.
    virtual QString saveFileName(const QString &caption, const QString &dir, const QString &filter) = 0;
    // The same with one check box under the file name, captioned `option`: `checked` holds
    // its state before and, once a name was chosen, the user's choice. Here: the plain
    // chooser, the box left as it was.
    virtual QString saveFileNameWithOption(const QString &caption, const QString &dir, const QString &filter,
                                           const QString &option, bool &checked);
    // Returns once `work` has finished, showing `text` with a Cancel button meanwhile while
    // the windows keep working. For user actions only. Here: waits without showing anything.
    virtual void waitFor(const QString &text, BackgroundWork &work);
    // Long work on this thread begins (true) or ends (false), e.g. saving or loading a long
    // record: the windows show they are busy meanwhile. Calls nest. Here: nothing is shown.
    virtual void setBusy(bool busy);

    // The installed prompter, or the console one when none is installed.
    static Prompter &current();
    // Installs `prompter` (not owned); nullptr puts the console one back. Returns the
    // prompter installed before (nullptr: the console one).
    static Prompter *install(Prompter *prompter);
};

// For a process without windows (and the default until the program installs its own):
// messages go to standard error, questions are answered No, Save/Discard/Cancel is
// Cancel, and the choosers are cancelled.
class ConsolePrompter : public Prompter
{
public:
    void message(const QString &text, const QString &title, Severity severity) override;
    void notify(const QString &text, const QString &title, Severity severity) override;
    bool question(const QString &text, const QString &title) override;
    Choice saveDiscardCancel(const QString &text, const QString &title) override;
    std::optional<QColor> chooseColor(const QColor &initial) override;
    QString saveFileName(const QString &caption, const QString &dir, const QString &filter) override;
};

// Records everything shown and answers from scripts; unanswered questions get `defaultAnswer`.
class ScriptedPrompter : public Prompter
{
public:
    struct Shown {
        QString text;
        QString title;
        Severity severity = Severity::Information;  // the icon a message box shows
    };

    void message(const QString &text, const QString &title, Severity severity) override;
    void notify(const QString &text, const QString &title, Severity severity) override;
    bool question(const QString &text, const QString &title) override;
    Choice saveDiscardCancel(const QString &text, const QString &title) override;
    std::optional<QColor> chooseColor(const QColor &initial) override;
    QString saveFileName(const QString &caption, const QString &dir, const QString &filter) override;
    // Takes the next of fileNames, and of fileOptions for the box (none left: as it was).
    QString saveFileNameWithOption(const QString &caption, const QString &dir, const QString &filter,
                                   const QString &option, bool &checked) override;
    void waitFor(const QString &text, BackgroundWork &work) override;
    void setBusy(bool busy) override;

    QList<Shown> messages;                // both kinds, in order
    QList<Shown> questions;               // Yes/No and Save/Discard/Cancel, in order
    QList<bool> answers;                  // consumed front first
    bool defaultAnswer = false;
    QList<Choice> choices;                // consumed front first; none left: defaultChoice
    Choice defaultChoice = Choice::Cancel;
    QList<std::optional<QColor>> colors;  // consumed front first; empty list = cancelled
    QStringList fileNames;                // consumed front first; empty list = cancelled
    QList<bool> fileOptions;              // check box of a chooser with one, front first
    QStringList optionTexts;              // captions of those check boxes, in order
    QStringList waits;                    // texts of the waits shown
    int busy = 0;                         // setBusy() depth now
    int busySpells = 0;                   // how often the windows went busy
    bool cancelWaits = false;             // the user presses Cancel as soon as a wait shows

    QStringList messageTexts() const;
    void clear();
};

// Installs a prompter for the lifetime of the guard, then puts back the one before.
class ScopedPrompter
{
public:
    explicit ScopedPrompter(Prompter &p) : m_previous(Prompter::install(&p)) {}
    ~ScopedPrompter() { Prompter::install(m_previous); }
    ScopedPrompter(const ScopedPrompter &) = delete;
    ScopedPrompter &operator=(const ScopedPrompter &) = delete;

private:
    Prompter *m_previous;
};

// Marks the installed prompter busy for the lifetime of the guard (see Prompter::setBusy).
class BusyScope
{
public:
    BusyScope() : m_prompter(Prompter::current()) { m_prompter.setBusy(true); }
    ~BusyScope() { m_prompter.setBusy(false); }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    Prompter &m_prompter;
};
