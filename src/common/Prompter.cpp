#include "common/Prompter.h"

#include <QCoreApplication>
#include <cstdio>
#include <utility>

namespace {
ConsolePrompter consolePrompter;
Prompter *installedPrompter = nullptr;
} // namespace

Prompter &Prompter::current()
{
    return installedPrompter ? *installedPrompter : consolePrompter;
}

Prompter *Prompter::install(Prompter *prompter)
{
    return std::exchange(installedPrompter, prompter);
}

QString Prompter::saveFileNameWithOption(const QString &caption, const QString &dir, const QString &filter,
                                         const QString &, bool &)
{
    return saveFileName(caption, dir, filter);
}

void Prompter::waitFor(const QString &, BackgroundWork &work)
{
    while (!work.wait(100)) {
    }
}

void Prompter::setBusy(bool) {}

namespace {
void printLine(const QString &text, const QString &title)
{
    const QString name = title.isEmpty() ? QCoreApplication::applicationName() : title;
    const QString line = name.isEmpty() ? text : name + QStringLiteral(": ") + text;
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
}
} // namespace

void ConsolePrompter::message(const QString &text, const QString &title, Severity)
{
    printLine(text, title);
}

void ConsolePrompter::notify(const QString &text, const QString &title, Severity)
{
    printLine(text, title);
}

bool ConsolePrompter::question(const QString &text, const QString &title)
{
    printLine(text + QStringLiteral(" [No]"), title);
    return false;
}

Prompter::Choice ConsolePrompter::saveDiscardCancel(const QString &text, const QString &title)
{
    printLine(text + QStringLiteral(" [Cancel]"), title);
    return Choice::Cancel;
}

std::optional<QColor> ConsolePrompter::chooseColor(const QColor &)
{
    return std::nullopt;
}

QString ConsolePrompter::saveFileName(const QString &, const QString &, const QString &)
{
    return QString();
}

void ScriptedPrompter::waitFor(const QString &text, BackgroundWork &work)
{
    waits << text;
    if (cancelWaits)
        work.cancel();
    Prompter::waitFor(text, work);
}

void ScriptedPrompter::setBusy(bool on)
{
    busySpells += on && busy == 0;
    busy += on ? 1 : -1;
}

void ScriptedPrompter::message(const QString &text, const QString &title, Severity severity)
{
    messages.append({text, title, severity});
}

void ScriptedPrompter::notify(const QString &text, const QString &title, Severity severity)
{
    messages.append({text, title, severity});
}

bool ScriptedPrompter::question(const QString &text, const QString &title)
{
    questions.append({text, title});
    return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
}

Prompter::Choice ScriptedPrompter::saveDiscardCancel(const QString &text, const QString &title)
{
    questions.append({text, title});
    return choices.isEmpty() ? defaultChoice : choices.takeFirst();
}

std::optional<QColor> ScriptedPrompter::chooseColor(const QColor &)
{
    return colors.isEmpty() ? std::nullopt : colors.takeFirst();
}

QString ScriptedPrompter::saveFileName(const QString &, const QString &, const QString &)
{
    return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
}

QString ScriptedPrompter::saveFileNameWithOption(const QString &caption, const QString &dir, const QString &filter,
                                                 const QString &option, bool &checked)
{
    optionTexts << option;
    const QString name = saveFileName(caption, dir, filter);
    if (!fileOptions.isEmpty())
        checked = fileOptions.takeFirst();
    return name;
}

QStringList ScriptedPrompter::messageTexts() const
{
    QStringList out;
    for (const Shown &m : messages)
        out << m.text;
    return out;
}

void ScriptedPrompter::clear()
{
    messages.clear();
    questions.clear();
}
