#include "common/Prompter.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {
QtPrompter qtPrompter;
Prompter *installed = nullptr;

QString titleOr(const QString &title)
{
    return title.isEmpty() ? QApplication::applicationDisplayName() : title;
}
}

Prompter &Prompter::current()
{
    return installed ? *installed : qtPrompter;
}

void Prompter::install(Prompter *prompter)
{
    installed = prompter;
}

void QtPrompter::message(const QString &text, const QString &title)
{
    QMessageBox::information(QApplication::activeWindow(), titleOr(title), text, QMessageBox::Ok);
}

bool QtPrompter::question(const QString &text, const QString &title)
{
    return QMessageBox::question(QApplication::activeWindow(), titleOr(title), text,
                                 QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

std::optional<QColor> QtPrompter::chooseColor(const QColor &initial)
{
    const QColor c = QColorDialog::getColor(initial, QApplication::activeWindow());
    if (!c.isValid())
        return std::nullopt;
    return c;
}

QString QtPrompter::saveFileName(const QString &caption, const QString &dir, const QString &filter)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), caption, dir, filter);
}

void ScriptedPrompter::message(const QString &text, const QString &title)
{
    messages.append({text, title});
}

bool ScriptedPrompter::question(const QString &text, const QString &title)
{
    questions.append({text, title});
    return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
}

std::optional<QColor> ScriptedPrompter::chooseColor(const QColor &)
{
    return colors.isEmpty() ? std::nullopt : colors.takeFirst();
}

QString ScriptedPrompter::saveFileName(const QString &, const QString &, const QString &)
{
    return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
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
