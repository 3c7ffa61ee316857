#pragma once

#include <QObject>
#include <QString>

#include <memory>

// The check of every page of a record database (PRAGMA quick_check), which grows with the
// store: a million samples take about a second. It runs on a read-only connection of its own
// in a worker thread, so the program's window paints and answers meanwhile; the outcome
// arrives on the thread that started it.
class StoreCheck : public QObject
{
    Q_OBJECT
public:
    struct Outcome {
        enum class Kind { Ok, Damaged, Failed };
        Kind kind = Kind::Failed;
        QString number;       // SQLite's result code when the check could not run
        QString description;  // what the check found, or why it could not run
    };

    // The check itself, on the calling thread.
    static Outcome run(const QString &file);

    explicit StoreCheck(QObject *parent = nullptr);
    // Interrupts a check that still runs and waits for its thread.
    ~StoreCheck() override;

    // Starts the check of `file` in a worker thread; finished() follows on this thread.
    void start(const QString &file);
    bool isRunning() const;

signals:
    void finished(const StoreCheck::Outcome &outcome);

private:
    struct Worker;
    std::shared_ptr<Worker> m_worker;
};
