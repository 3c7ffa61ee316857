// What leaves the program from the data windows and their helpers: printed tables.
#include "support/TestEnvironment.h"

#include "datalog/GridPrinter.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QPdfWriter>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>


class TestDatalogOutput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    // A cell holding a long comment or a megabyte-long stored value prints at once: the page
    // shows the start of it, elided, and short cells whole.
    void longCellsPrintElided()
    {
        const QString comment(32765, QLatin1Char('c'));
        const QString value = QString(1 << 20, QLatin1Char('v'));
        QStandardItemModel model(3, 2);
        model.setHorizontalHeaderLabels({QStringLiteral("No."), QStringLiteral("Comment")});
        model.setData(model.index(0, 0), QStringLiteral("1"));
        model.setData(model.index(0, 1), comment);
        model.setData(model.index(1, 0), QStringLiteral("2"));
        model.setData(model.index(1, 1), value);
        model.setData(model.index(2, 1), QStringLiteral("short"));

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("table.pdf"));
        {
            QPdfWriter pdf(file);
            GridPrinter printer(model, {900, 2400}, QFont());
            QVERIFY(printer.print(pdf, 390, 720));
        }
        QVERIFY(QFileInfo(file).size() > 0);

        const QFontMetrics metrics{QFont()};
        const int width = 300;
        for (const QString &text : {comment, value}) {
            const QString shown = GridPrinter::fitText(text, metrics, width);
            QVERIFY(shown.endsWith(QChar(0x2026)));
            QVERIFY(shown.size() > 1 && text.startsWith(shown.chopped(1)));
            QVERIFY(metrics.horizontalAdvance(shown) <= width);
        }
        QCOMPARE(GridPrinter::fitText(QStringLiteral("12.500"), metrics, width), QStringLiteral("12.500"));
    }
};

QTEST_MAIN(TestDatalogOutput)
#include "tst_DatalogOutput.moc"
