#include "common/Prompter.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>

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

namespace {
QMessageBox::Icon iconOf(Prompter::Severity severity)
{
    switch (severity) {
    case Prompter::Severity::Information: return QMessageBox::Information;
    case Prompter::Severity::Warning: return QMessageBox::Warning;
    case Prompter::Severity::Critical: return QMessageBox::Critical;
    }
    return QMessageBox::Information;
}
} // namespace

void QtPrompter::message(const QString &text, const QString &title, Severity severity)
{
    QMessageBox box(iconOf(severity), titleOr(title), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void QtPrompter::notify(const QString &text, const QString &title, Severity severity)
{
    static QSet<QString> onScreen;
    if (onScreen.contains(text))
        return;
    // Over the main window, which outlives any dialog that may be active now.
    QWidget *parent = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow *>(w) && w->isVisible())
            parent = w;
    }
    auto *box = new QMessageBox(iconOf(severity), titleOr(title), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    onScreen.insert(text);
    QObject::connect(box, &QObject::destroyed, [text] { onScreen.remove(text); });
    box->open();
}

bool QtPrompter::question(const QString &text, const QString &title)
{
    return QMessageBox::question(QApplication::activeWindow(), titleOr(title), text,
                                 QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

Prompter::Choice QtPrompter::saveDiscardCancel(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Question, titleOr(title), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                    QApplication::activeWindow());
    // The desktop's theme may word Discard otherwise; the question speaks of these three.
    box.button(QMessageBox::Save)->setText(QStringLiteral("Save"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("Discard"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancel"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save: return Choice::Save;
    case QMessageBox::Discard: return Choice::Discard;
    default: return Choice::Cancel;
    }
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

void ScriptedPrompter::message(const QString &text, const QString &title, Severity)
{
    messages.append({text, title});
}

void ScriptedPrompter::notify(const QString &text, const QString &title, Severity)
{
    messages.append({text, title});
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
