#include "ui/QtPrompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSet>
#include <QTimer>

namespace {
QString titleOr(const QString &title)
{
    return title.isEmpty() ? QApplication::applicationDisplayName() : title;
}

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

class QtPrompter::UsualPointer
{
public:
    explicit UsualPointer(const QtPrompter &prompter) : m_lifted(prompter.m_busy > 0)
    {
        if (m_lifted)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~UsualPointer()
    {
        if (m_lifted)
            QApplication::restoreOverrideCursor();
    }
    UsualPointer(const UsualPointer &) = delete;
    UsualPointer &operator=(const UsualPointer &) = delete;

private:
    bool m_lifted;
};

void QtPrompter::setBusy(bool busy)
{
    if (busy && m_busy++ == 0)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else if (!busy && m_busy > 0 && --m_busy == 0)
        QApplication::restoreOverrideCursor();
}

void QtPrompter::message(const QString &text, const QString &title, Severity severity)
{
    const UsualPointer pointer(*this);
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
    const UsualPointer pointer(*this);
    return QMessageBox::question(QApplication::activeWindow(), titleOr(title), text,
                                 QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

Prompter::Choice QtPrompter::saveDiscardCancel(const QString &text, const QString &title)
{
    const UsualPointer pointer(*this);
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
    QFileDialog dialog(QApplication::activeWindow(), caption, dir, filter);
    return chosenPath(dialog, caption);
}

QString QtPrompter::saveFileNameWithOption(const QString &caption, const QString &dir, const QString &filter,
                                           const QString &option, bool &checked)
{
    QFileDialog dialog(QApplication::activeWindow(), caption, dir, filter);
    // Only Qt's own dialog can take a widget of ours.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto *box = new QCheckBox(option, &dialog);
    box->setObjectName(QStringLiteral("chkFileOption"));
    box->setChecked(checked);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addWidget(box, grid->rowCount(), 0, 1, grid->columnCount());
    const QString path = chosenPath(dialog, caption);
    if (!path.isEmpty())
        checked = box->isChecked();
    return path;
}

QString QtPrompter::chosenPath(QFileDialog &dialog, const QString &caption)
{
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    // Qt's own dialog reads quotes in the typed name as a list of names ("a" "b") and keeps
    // only a quoted part, in the dialog's folder: the file is put where the name typed says.
    // A last part wholly in quotes is a quoted name; any other quote belongs to the name.
    const auto *typed = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QString name = typed ? typed->text() : QString();
    if (!name.contains(QLatin1Char('"')))
        return dialog.selectedFiles().constFirst();
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const QString last = name.mid(slash + 1);
    if (last.size() > 2 && last.startsWith(QLatin1Char('"')) && last.endsWith(QLatin1Char('"'))
        && last.count(QLatin1Char('"')) == 2)
        name = name.left(slash + 1) + last.mid(1, last.size() - 2);
    if (name.startsWith(QLatin1String("~/")))
        name = QDir::homePath() + name.mid(1);
    const QString path = QDir(dialog.directory().absolutePath()).absoluteFilePath(name);
    if (QFileInfo(path).isDir()) {
        message(QStringLiteral("%1 is a folder; choose a file name.").arg(path), QString(), Severity::Warning);
        return QString();
    }
    if (QFileInfo::exists(path)
        && !question(QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(path), caption))
        return QString();
    return path;
}

void QtPrompter::waitFor(const QString &text, BackgroundWork &work)
{
    // Quick work ends before a box would flicker up.
    if (work.wait(250))
        return;
    QProgressDialog dialog(text, QStringLiteral("Cancel"), 0, 0, QApplication::activeWindow());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    QEventLoop loop;
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] {
        work.cancel();
        dialog.setLabelText(QStringLiteral("Cancelling..."));
        dialog.show();  // stays until the work has stopped
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (work.wait(0))
            loop.quit();
    });
    poll.start(50);
    dialog.show();
    loop.exec();
}
