// What leaves the program from the data windows and their helpers: printed tables, CSV
// files and their names, and the words for a disk that refuses a write.
#include "StoreTestSupport.h"
#include "support/PaintedText.h"
#include "support/TestEnvironment.h"

#include "common/Prompter.h"
#include "ui/QtPrompter.h"
#include "datalog/CsvExport.h"
#include "datalog/GridPrinter.h"
#include "datalog/RecordSaver.h"
#include "datalog/SampleBuffer.h"
#include "datalog/StoreMessages.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QSaveFile>
#include <QScopeGuard>
#include <QStandardItemModel>
#include <QTimer>
#include <QtTest>

#include <functional>

#include <unistd.h>

namespace {

bool runTool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Runs `act` on the next file dialog shown.
void onNextFileDialog(const std::function<void(QFileDialog *)> &act)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            act(dialog);
        }
    });
    poll->start(20);
}

} // namespace

class TestDatalogOutput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    // A four-channel table printed on landscape pages at a printer's 1200 dpi: every column's
    // caption with its unit, every reading and time stamp whole; each page has the heading,
    // the captions, the sample number and time of its rows, and "page n of m".
    void printedTableKeepsEveryColumn()
    {
        SampleBuffer buffer;
        buffer.setChannelCount(4);
        const int rows = 60;
        for (int i = 0; i < rows; ++i)
            buffer.append(StoreTest::sample(i));
        GridPrinter printer(buffer, QList<int>{900, 1600} + QList<int>(12, 1300) + QList<int>{2000}, QFont());
        printer.heading << QStringLiteral("XPP-3202   Record 7: Bench");
        printer.groupColumns = 3;
        PaintedText device(QSize(13200, 9600), 1200);
        {
            QPainter painter(&device);
            printer.paint(painter, QSize(13200, 9600), 390, 720, [&device] { device.newPage(); });
        }
        const QStringList texts = device.strings();
        QCOMPARE(buffer.columnCount(), 15);
        for (int c = 0; c < buffer.columnCount(); ++c)
            QVERIFY2(texts.contains(buffer.headerData(c, Qt::Horizontal).toString()), qPrintable(QString::number(c)));
        QVERIFY(texts.contains(QStringLiteral("CH4:Current[A]")));
        for (int cell = 0; cell < rows * 14; ++cell) {  // every cell but the comment
            const QString text = buffer.index(cell / 14, cell % 14).data().toString();
            QVERIFY2(texts.contains(text), qPrintable(QStringLiteral("%1,%2 %3").arg(cell / 14).arg(cell % 14).arg(text)));
        }
        const int pages = device.pages();
        QVERIFY(pages >= 4);  // two bands of columns, more than one page of rows
        for (int p = 0; p < pages; ++p) {
            QStringList onPage;
            for (const PaintedText::Text &t : device.texts) {
                if (t.page == p)
                    onPage << t.text;
                QVERIFY2(device.page().contains(t.rect), qPrintable(t.text));
            }
            for (const QString &part : {QStringLiteral("XPP-3202   Record 7: Bench"), QStringLiteral("取樣次數"),
                                        QStringLiteral("取樣Time"), QStringLiteral("page %1 of %2").arg(p + 1).arg(pages)})
                QVERIFY2(onPage.contains(part), qPrintable(QStringLiteral("page %1: %2").arg(p + 1).arg(part)));
            // A channel's three columns stay on one page.
            for (int c = 1; c <= 4; ++c) {
                const QString ch = QStringLiteral("CH%1:").arg(c);
                const qsizetype n = onPage.filter(ch).size();
                QVERIFY2(n == 0 || n == 3, qPrintable(QStringLiteral("page %1: %2 %3").arg(p + 1).arg(ch).arg(n)));
            }
        }

        // A cell holding a long comment or a megabyte-long stored value prints at once, on a
        // landscape PDF: the page shows the start of it, elided, and short cells whole.
        const QString comment(32765, QLatin1Char('c'));
        const QString value = QString(1 << 20, QLatin1Char('v'));
        QStandardItemModel model(3, 2);
        model.setHorizontalHeaderLabels({QStringLiteral("No."), QStringLiteral("Comment")});
        const QStringList cells{QStringLiteral("1"), comment, QStringLiteral("2"), value, QString(), QStringLiteral("short")};
        for (int i = 0; i < cells.size(); ++i)
            model.setData(model.index(i / 2, i % 2), cells[i]);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("cells.pdf"));
        {
            QPdfWriter cells(file);
            cells.setPageOrientation(QPageLayout::Landscape);
            QVERIFY(GridPrinter(model, {900, 2400}, QFont()).print(cells, 390, 720));
        }
        QVERIFY(QFileInfo(file).size() > 0);
        const QFontMetrics metrics{QFont()};
        for (const QString &text : {comment, value}) {
            const QString shown = GridPrinter::fitText(text, metrics, 300);
            QVERIFY(shown.size() > 1 && shown.endsWith(QChar(0x2026)) && text.startsWith(shown.chopped(1)));
            QVERIFY(metrics.horizontalAdvance(shown) <= 300);
        }
        QCOMPARE(GridPrinter::fitText(QStringLiteral("12.500"), metrics, 300), QStringLiteral("12.500"));
    }

    // An export: stored values of any length reach the CSV file whole, quoted where they must
    // be, while the grid shows only their start (so that drawing it stays quick). A typed name
    // with quotes is written where it says: a name wholly in quotes is that name, any other
    // quote is part of the name; never the dialog's folder instead. The dialog shows its check
    // box under the name; what the user ticks is what the caller gets, and a cancelled dialog
    // leaves the caller's choice alone.
    void exportWritesWholeValuesWhereTyped()
    {
        SampleBuffer buffer;
        buffer.setChannelCount(1);
        SampleRow row = StoreTest::sample(0);
        const QString longReading = QString(100000, QLatin1Char('7'));
        row.channels[0].voltage = longReading;
        row.channels[0].current = QStringLiteral("\"x,") + QString(6000, QLatin1Char('y'));
        buffer.append(row);
        buffer.append(StoreTest::sample(1));
        QCOMPARE(buffer.row(0), row);
        const QString shown = buffer.index(0, 2).data().toString();
        QVERIFY(shown.size() < 5000 && shown.endsWith(QChar(0x2026)) && longReading.startsWith(shown.chopped(1)));

        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("out")));
        const QString out = dir.filePath(QStringLiteral("out"));
        QtPrompter prompter;
        const QString filter = QStringLiteral("Datalog(*.csv)");
        const QList<std::pair<QString, QString>> cases{
            {out + QStringLiteral("/\"c'd ü€ 測試.csv\""), out + QStringLiteral("/c'd ü€ 測試.csv")},
            {QStringLiteral("c\"d ü€ 測試.csv"), dir.path() + QStringLiteral("/c\"d ü€ 測試.csv")},
            {QStringLiteral("out/plain.csv"), out + QStringLiteral("/plain.csv")},
        };
        for (const auto &[typed, expected] : cases) {
            onNextFileDialog([typed](QFileDialog *dialog) {
                dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(typed);
                static_cast<QDialog *>(dialog)->accept();  // as the Save button does
            });
            const QString chosen = prompter.saveFileName(QString(), dir.path(), filter);
            QCOMPARE(chosen, expected);
            QSaveFile file(chosen);
            QVERIFY(file.open(QIODevice::WriteOnly) && CsvExport::write(buffer, 1, file) && file.commit());
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("c\"d ü€ 測試.csv")});
        const QList<QByteArray> lines = StoreTest::readFile(out + QStringLiteral("/plain.csv")).split('\n');
        QVERIFY(lines.size() >= 3);
        const QByteArray quoted = "\"\"\"x," + QByteArray(6000, 'y') + "\"";
        QVERIFY(lines.at(1).startsWith("0," + row.recTime.toUtf8() + ',' + longReading.toUtf8() + ',' + quoted + ','));
        QVERIFY(lines.at(2).startsWith("1," + StoreTest::sample(1).recTime.toUtf8() + ",12.000,"));

        const QString caption = QStringLiteral("Add power, energy and charge columns (W, Wh, Ah)");
        QString seen;
        onNextFileDialog([&seen](QFileDialog *dialog) {
            auto *box = dialog->findChild<QCheckBox *>(QStringLiteral("chkFileOption"));
            if (box && box->isVisible() && !box->isChecked()) {
                seen = box->text();
                box->click();
            }
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("power.csv"));
            static_cast<QDialog *>(dialog)->accept();
        });
        bool checked = false;
        QCOMPARE(prompter.saveFileNameWithOption(QString(), dir.path(), filter, caption, checked),
                 dir.filePath(QStringLiteral("power.csv")));
        QVERIFY(checked && seen == caption);
        onNextFileDialog([](QFileDialog *dialog) {
            dialog->findChild<QCheckBox *>(QStringLiteral("chkFileOption"))->setChecked(false);
            dialog->reject();
        });
        QVERIFY(prompter.saveFileNameWithOption(QString(), dir.path(), filter, caption, checked).isEmpty());
        QVERIFY(checked);

        // Long work shows the busy pointer until its outermost end; a box that asks meanwhile
        // has the usual pointer.
        prompter.setBusy(true);
        prompter.setBusy(true);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        Qt::CursorShape overBox = Qt::BusyCursor;
        QTimer::singleShot(0, [&overBox] {
            overBox = QApplication::overrideCursor()->shape();
            if (auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                box->done(0);
        });
        prompter.message(QStringLiteral("The record could not be read."), QString(), Prompter::Severity::Warning);
        QCOMPARE(overBox, Qt::ArrowCursor);
        prompter.setBusy(false);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        prompter.setBusy(false);
        QVERIFY(!QApplication::overrideCursor());
    }

    // A full disk on Save and a folder that turns read-only while recording are told in words
    // naming the folder, not as the database's code.
    void diskProblemsInWords()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to mount a small disk and make a folder immutable");
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);

        // A small disk of its own, filled up once a recording is in the buffer.
        QTemporaryDir dir;
        const QString disk = dir.filePath(QStringLiteral("disk"));
        QVERIFY(QDir().mkpath(disk));
        if (!runTool(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                               QStringLiteral("size=16m"), QStringLiteral("tmpfs"), disk}))
            QSKIP("cannot mount a small disk here");
        auto unmount = qScopeGuard([&] { runTool(QStringLiteral("umount"), {QStringLiteral("-l"), disk}); });
        {
            RecordStore store;
            QVERIFY2(store.open(disk).ok() && StoreTest::appendSamples(store, 300), qPrintable(store.lastError().description));
            QFile filler(disk + QStringLiteral("/filler"));
            const QByteArray block(64 * 1024, 'f');
            QVERIFY(filler.open(QIODevice::WriteOnly));
            while (filler.write(block) == block.size() && filler.flush()) {
            }
            filler.close();
            prompter.answers = {true};
            RecordSaver saver(store, RecordSaver::Texts::dataTable());
            RecordSaver::Form form{QString(), QString(), QString(), QStringLiteral("full"), 0, 0, QString()};
            QCOMPARE(saver.save(form), RecordSaver::Outcome::Failed);
            QCOMPARE(prompter.messageTexts().last(),
                     QStringLiteral("DataTable: There is no space left on the disk holding the folder [%1]. "
                                    "Free some space on it, then try again.").arg(disk));
        }

        // A folder made immutable in the middle of a recording.
        StoreTest::TempStore other;
        RecordStore &store = other.store;
        QVERIFY(other.open() && store.appendSample(StoreTest::sample(0)));
        // The folder, the database and its log; the shared-memory file stays as it is (the
        // library has it mapped, and a write to an immutable mapping ends the process).
        QStringList locked{other.dir.path()};
        for (const QString &f : QDir(other.dir.path()).entryList(QDir::Files)) {
            if (!f.endsWith(QLatin1String("-shm")))
                locked << other.dir.filePath(f);
        }
        if (!runTool(QStringLiteral("chattr"), QStringList{QStringLiteral("+i")} + locked))
            QSKIP("this file system cannot make a folder immutable");
        auto unlock = qScopeGuard([&] { runTool(QStringLiteral("chattr"), QStringList{QStringLiteral("-i")} + locked); });
        QVERIFY(!store.appendSample(StoreTest::sample(1)));
        QCOMPARE(storeFailureText(QStringLiteral("DataTable: "), store.lastError()),
                 QStringLiteral("DataTable: There is no permission to write the folder [%1] or the record "
                                "database in it. Give your user write access to both, then try again.")
                     .arg(other.dir.path()));
    }
};

QTEST_MAIN(TestDatalogOutput)
#include "tst_DatalogOutput.moc"
