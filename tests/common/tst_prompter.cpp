// The prompter of a process without windows (the command-line copy to the lab server, the
// libraries under a plain QCoreApplication): messages reach standard error, nothing is
// answered Yes behind the user's back, nothing waits for a button no one can press. This
// program links the libraries below the windows only and runs without a window system.
#include "common/Prompter.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {

// Standard error goes to a file for the lifetime of the guard.
class CapturedStderr
{
public:
    explicit CapturedStderr(const QString &path)
    {
        std::fflush(stderr);
        m_saved = dup(STDERR_FILENO);
        m_file = std::fopen(qPrintable(path), "w");
        dup2(fileno(m_file), STDERR_FILENO);
    }
    ~CapturedStderr()
    {
        std::fflush(stderr);
        dup2(m_saved, STDERR_FILENO);
        close(m_saved);
        std::fclose(m_file);
    }

private:
    int m_saved = -1;
    std::FILE *m_file = nullptr;
};

// Work that finishes after its third look.
class ThreeLooks : public BackgroundWork
{
public:
    bool wait(int) override { return ++looks >= 3; }
    void cancel() override {}
    int looks = 0;
};

} // namespace

class TestPrompter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnvironment::isolateUserFolders();
        QVERIFY(!qobject_cast<QGuiApplication *>(QCoreApplication::instance()));
    }

    // With no prompter installed, every message is written to standard error, questions
    // are answered No and Cancel, and the choosers are cancelled: nothing is replaced,
    // discarded or overwritten without a user who could have said so.
    void withoutWindowsTheConsoleAnswers()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("stderr.txt"));
        Prompter &p = Prompter::current();
        {
            CapturedStderr captured(log);
            p.message(QStringLiteral("The lab server cannot be reached."), QStringLiteral("Records"));
            p.notify(QStringLiteral("Cannot get Data from device!"), QStringLiteral("Link"),
                     Prompter::Severity::Warning);
            QVERIFY(!p.question(QStringLiteral("Replace the record?"), QStringLiteral("Records")));
            QCOMPARE(p.saveDiscardCancel(QStringLiteral("Save the samples?"), QStringLiteral("Record")),
                     Prompter::Choice::Cancel);
        }
        QVERIFY(!p.chooseColor(Qt::red));
        QVERIFY(p.saveFileName(QStringLiteral("Export"), dir.path(), QStringLiteral("*.csv")).isEmpty());
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines, (QStringList{"Records: The lab server cannot be reached.",
                                     "Link: Cannot get Data from device!",
                                     "Records: Replace the record? [No]",
                                     "Record: Save the samples? [Cancel]"}));
    }

    // A test's scripted prompter, once its scope ends, gives back the prompter installed
    // before it (the program's dialogs), not the console one.
    void scopesPutBackThePreviousPrompter()
    {
        ScriptedPrompter program;
        program.defaultAnswer = true;
        const ScopedPrompter outer(program);
        {
            ScriptedPrompter test;
            const ScopedPrompter inner(test);
            QVERIFY(!Prompter::current().question(QStringLiteral("Inner?")));
            QCOMPARE(test.questions.size(), 1);
        }
        QVERIFY(Prompter::current().question(QStringLiteral("Outer?")));
        QCOMPARE(program.questions.size(), 1);
    }

    // Without windows, waiting for background work returns once it has finished.
    void waitingReturnsWhenTheWorkIsDone()
    {
        ThreeLooks work;
        Prompter::current().waitFor(QStringLiteral("Copying..."), work);
        QCOMPARE(work.looks, 3);
    }
};

QTEST_GUILESS_MAIN(TestPrompter)
#include "tst_prompter.moc"
