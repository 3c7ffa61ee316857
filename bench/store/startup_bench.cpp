// Start-up of the program with an empty record store and with a million samples in saved
// records: the time from starting the process to the first painted frame of its window, and
// to the end of the store's check of every page. Each run is a fresh process (this program
// with --child), started as the program starts: the store opened and claimed, the window
// shown, the check after the first frame in a worker thread. --check-before-frame runs the
// check on the window's thread before the first frame instead, for comparison.
//
//   startup_bench [runs]        (default 5; QT_QPA_PLATFORM offscreen unless set)
#include "datalog/RecordStore.h"
#include "datalog/SqlConnection.h"
#include "mainwin/MDIForm1.h"
#include "mainwin/StoreMachineTypes.h"
#include "mainwin/StoreStartup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Records = 10;
constexpr int SamplesPerRecord = 100000;

// Says "frame" once the window's first frame is out (the event after its first paint).
class FrameProbe : public QObject
{
public:
    explicit FrameProbe(QWidget &w) : m_w(w) { w.installEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &m_w && event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, [] { say("frame"); });
        }
        return false;
    }
    static void say(const char *what)
    {
        std::printf("%s\n", what);
        std::fflush(stdout);
    }

private:
    QWidget &m_w;
    bool m_seen = false;
};

int child(const QString &folder, bool checkBeforeFrame)
{
    const std::shared_ptr<RecordStore> store = StoreStartup::openStore(folder);
    if (!store)
        return 1;
    MDIForm1::Collaborators c;
    c.machineTypes = std::make_shared<StoreMachineTypes>(*store);
    c.records = store;
    MDIForm1 w(std::move(c));
    FrameProbe probe(w);
    w.show();
    if (checkBeforeFrame) {
        // What the program did before: the check in a zero-time timer, ahead of the paint.
        QTimer::singleShot(0, &w, [store] {
            store->verify();
            FrameProbe::say("checked");
        });
        return QApplication::exec();
    }
    StoreStartup startup(w, store);
    QObject::connect(&startup, &StoreStartup::finished, [] { FrameProbe::say("checked"); });
    startup.start();
    return QApplication::exec();
}

bool fill(const QString &folder)
{
    RecordStore store;
    if (!store.open(folder).ok())
        return false;
    SqlConnection conn(store.filePath());
    if (!conn.open())
        return false;
    QSqlQuery q(conn.db());
    for (int r = 1; r <= Records; ++r) {
        const bool ok = q.exec(QStringLiteral(
            "INSERT INTO datamain VALUES ('%1', '2026/03/05 00:00:00', '2026/03/06 03:46:39', 'run %1', 'V', 'A', '0', '0')").arg(r))
            && q.exec(QStringLiteral(
                "WITH RECURSIVE n(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM n WHERE x < %1) "
                "INSERT INTO datadetail SELECT '%2', 1, x, '2026/03/05 10:00:00', 5 + (x % 1000) / 1000.0, '0.512', '1', "
                "10.002, '0.231', '2', 15.1, '0.3', '3', 20.25, '0.4', '4', '', x, 1 FROM n").arg(SamplesPerRecord - 1).arg(r));
        if (!ok) {
            std::fprintf(stderr, "%s\n", qPrintable(q.lastError().text()));
            return false;
        }
    }
    return q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

struct Times {
    double frame = -1;
    double checked = -1;
};

Times runOnce(const QString &folder, bool checkBeforeFrame)
{
    QProcess p;
    QStringList args{QStringLiteral("--child"), folder};
    if (checkBeforeFrame)
        args << QStringLiteral("--check-before-frame");
    QElapsedTimer t;
    t.start();
    p.start(QCoreApplication::applicationFilePath(), args);
    Times times;
    QByteArray out;
    while ((times.frame < 0 || times.checked < 0) && p.waitForReadyRead(60000)) {
        out += p.readAllStandardOutput();
        const double now = double(t.nsecsElapsed()) / 1e6;
        if (times.frame < 0 && out.contains("frame\n"))
            times.frame = now;
        if (times.checked < 0 && out.contains("checked\n"))
            times.checked = now;
    }
    p.kill();
    p.waitForFinished();
    if (times.frame < 0 || times.checked < 0)
        std::fprintf(stderr, "child failed: %s\n", p.readAllStandardError().constData());
    return times;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && QByteArray(argv[1]) == "--child") {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return child(QString::fromLocal8Bit(argv[2]), argc >= 4 && QByteArray(argv[3]) == "--check-before-frame");
    }
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    // Beside the build, on the disk the store would live on (not a memory file system).
    QTemporaryDir root(QCoreApplication::applicationDirPath() + QStringLiteral("/startup-bench-XXXXXX"));
    qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toLocal8Bit());
    const QString empty = root.filePath(QStringLiteral("empty"));
    const QString full = root.filePath(QStringLiteral("full"));
    {
        RecordStore store;
        if (!store.open(empty).ok() || !fill(full)) {
            std::fprintf(stderr, "cannot prepare %s\n", qPrintable(root.path()));
            return 1;
        }
    }
    std::printf("start to first painted frame, and to the end of the store's check (median of %d runs, ms)\n", runs);
    for (const bool before : {false, true}) {
        for (const auto &[name, folder] : {std::pair{"empty store", empty},
                                           std::pair{"1,000,000 saved samples", full}}) {
            std::vector<double> frames;
            std::vector<double> checks;
            for (int i = 0; i < runs; ++i) {
                const Times t = runOnce(folder, before);
                if (t.frame < 0 || t.checked < 0)
                    return 1;
                frames.push_back(t.frame);
                checks.push_back(t.checked);
            }
            std::printf("%-26s %-28s first frame %7.1f   checked %7.1f\n", name,
                        before ? "check before the frame:" : "check after, in a thread:", median(frames),
                        median(checks));
        }
    }
    return 0;
}
