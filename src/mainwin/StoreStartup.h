#pragma once

#include "datalog/RecordStore.h"
#include "datalog/StoreCheck.h"

#include <QObject>
#include <QTimer>

#include <memory>

class MDIForm1;

// The record store at the program's start. It is opened and claimed before the window shows
// (a few milliseconds whatever its size); the check of every page, which grows with the
// store, runs after the window's first frame on a connection of its own in a worker thread.
// Until it has finished nothing is written to the store: recording, saving and clearing
// refuse with a message. Then a damaged store is repaired, and samples of a recording that
// was never saved are shown.
class StoreStartup : public QObject
{
    Q_OBJECT
public:
    // Opens the store in `folder` for this program. When another zep holds it, asks whether
    // to open it read-only. Null when the program cannot go on (the user has been told why,
    // or chose to quit).
    static std::shared_ptr<RecordStore> openStore(const QString &folder);

    StoreStartup(MDIForm1 &window, std::shared_ptr<RecordStore> store, QObject *parent = nullptr);
    ~StoreStartup() override;

    // Starts the check once the window has painted its first frame.
    void start();
    bool isFinished() const { return m_finished; }

signals:
    // The window's first frame is on screen; the check starts now.
    void firstFrame();
    // The check has finished and what it found has been acted on.
    void finished(const StoreOpenResult &result);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void begin();
    void apply(const StoreCheck::Outcome &outcome);

    MDIForm1 &m_window;
    std::shared_ptr<RecordStore> m_store;
    StoreCheck m_check;
    QTimer m_noFrame;  // a window that never paints (started minimized) is not waited for
    bool m_begun = false;
    bool m_finished = false;
};
