// Printing the table to PDF with one long cell: a 32,765-character comment and a 1 MB stored
// value; and drawing the table window's grid over a buffer holding such a value.
// Run offscreen: QT_QPA_PLATFORM=offscreen bench_print
#include "datalog/GridPrinter.h"
#include "datalog/SampleBuffer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPdfWriter>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    for (const int length : {32765, 1 << 20}) {
        QStandardItemModel model(100, 3);
        for (int r = 0; r < model.rowCount(); ++r) {
            model.setData(model.index(r, 0), QString::number(r + 1));
            model.setData(model.index(r, 1), QStringLiteral("12.345"));
        }
        model.setData(model.index(0, 2), QString(length, QLatin1Char('x')));
        QPdfWriter pdf(dir.filePath(QStringLiteral("print%1.pdf").arg(length)));
        GridPrinter printer(model, {900, 1200, 2400}, QFont());
        QElapsedTimer t;
        t.start();
        const bool ok = printer.print(pdf, 390, 720);
        std::printf("print 100 rows, one cell of %d characters: %.1f ms%s\n", length,
                    double(t.nsecsElapsed()) / 1e6, ok ? "" : " (failed)");
    }
    for (const int length : {32765, 1 << 20}) {
        SampleBuffer buffer;
        buffer.setChannelCount(1);
        for (int i = 0; i < 100; ++i) {
            SampleRow row;
            row.seqNo = i;
            row.recTime = QStringLiteral("2026/03/05 10:00:00");
            row.channels[0] = {QStringLiteral("12.345"), QStringLiteral("0.500"), QStringLiteral("0")};
            if (i == 0)
                row.channels[0].voltage = QString(length, QLatin1Char('7'));
            buffer.append(row);
        }
        QTableView view;
        view.setModel(&buffer);
        view.resize(900, 600);
        view.show();
        QElapsedTimer t;
        t.start();
        view.grab();
        std::printf("draw the grid, one reading of %d characters: %.1f ms\n", length, double(t.nsecsElapsed()) / 1e6);
    }
    return 0;
}
