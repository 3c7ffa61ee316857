#include "mainwin/StoreStartup.h"

#include "common/Prompter.h"
#include "mainwin/MDIForm1.h"

#include <QEvent>

namespace {

// Longest wait for the first frame before the check starts anyway.
constexpr int FirstFrameWaitMs = 2000;

} // namespace

std::shared_ptr<RecordStore> StoreStartup::openStore(const QString &folder)
{
    auto store = std::make_shared<RecordStore>();
    StoreOpenResult opened = store->open(folder, RecordStore::IntegrityCheck::Later);
    if (opened.status == StoreOpenResult::Status::HeldElsewhere) {
        const QString question = opened.message
            + QStringLiteral("\n\nOpen it read-only, to look at its saved records? Recording, saving "
                             "and deleting are not possible then.\nNo quits this program.");
        if (!Prompter::current().question(question))
            return nullptr;
        opened = store->open(folder, RecordStore::IntegrityCheck::Later, RecordStore::Access::ReadOnly);
    }
    if (!opened.ok()) {
        Prompter::current().message(opened.message, QString(), Prompter::Severity::Critical);
        return nullptr;
    }
    if (!opened.message.isEmpty())
        Prompter::current().message(opened.message, QString(), Prompter::Severity::Warning);
    return store;
}

StoreStartup::StoreStartup(MDIForm1 &window, std::shared_ptr<RecordStore> store, QObject *parent)
    : QObject(parent), m_window(window), m_store(std::move(store))
{
    m_noFrame.setSingleShot(true);
    m_noFrame.setInterval(FirstFrameWaitMs);
    connect(&m_noFrame, &QTimer::timeout, this, &StoreStartup::begin);
    connect(&m_check, &StoreCheck::finished, this, &StoreStartup::apply);
    if (m_store->isReadOnly())
        m_window.setWindowTitle(m_window.windowTitle() + QStringLiteral(" (read-only)"));
}

StoreStartup::~StoreStartup()
{
    m_window.removeEventFilter(this);
}

void StoreStartup::start()
{
    m_window.installEventFilter(this);
    m_noFrame.start();
}

bool StoreStartup::eventFilter(QObject *watched, QEvent *event)
{
    // The window's own paint comes first in a frame; the check starts once the frame is out.
    if (watched == &m_window && event->type() == QEvent::Paint && !m_begun)
        QTimer::singleShot(0, this, &StoreStartup::begin);
    return QObject::eventFilter(watched, event);
}

void StoreStartup::begin()
{
    if (m_begun)
        return;
    m_begun = true;
    m_noFrame.stop();
    m_window.removeEventFilter(this);
    emit firstFrame();
    if (m_store->checkPending())
        m_check.start(m_store->filePath());
    else
        apply({StoreCheck::Outcome::Kind::Ok, QString(), QString()});
}

// Runs on the window's thread when the check has finished: under an event, so it tells
// without waiting and asks nothing.
void StoreStartup::apply(const StoreCheck::Outcome &outcome)
{
    const StoreOpenResult result = m_store->checkPending() ? m_store->applyCheck(outcome)
                                                            : StoreOpenResult(StoreOpenResult::Status::Opened, QString());
    m_finished = true;
    if (!result.ok()) {
        // The store is closed; the supplies can still be worked without records.
        Prompter::current().notify(result.message + QStringLiteral("\nRecords cannot be kept until the "
                                                                   "program is started again."),
                                   QString(), Prompter::Severity::Critical);
        emit finished(result);
        return;
    }
    if (!result.message.isEmpty())
        Prompter::current().notify(result.message, QString(), Prompter::Severity::Warning);
    if (result.status == StoreOpenResult::Status::Repaired) {
        m_window.SetupMenuMachineTypes();
        if (frmDataTable *table = m_window.tableDataForm1())
            table->CmbSample_Click();
    }
    m_window.recoverUnsavedRecording();
    emit finished(result);
}
