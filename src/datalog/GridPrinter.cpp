#include "datalog/GridPrinter.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>

#include <numeric>
#include <utility>

GridPrinter::GridPrinter(const QAbstractItemModel &model, QList<int> columnWidthsTwips, QFont font)
    : m_model(model), m_widths(std::move(columnWidthsTwips)), m_font(std::move(font))
{
}

QString GridPrinter::fitText(const QString &text, const QFontMetrics &metrics, int width)
{
    if (text.size() <= MaxMeasuredChars && metrics.horizontalAdvance(text) <= width)
        return text;
    const QString head = text.left(MaxMeasuredChars);
    return metrics.elidedText(head, Qt::ElideRight, std::max(width, 0));
}

bool GridPrinter::print(QPagedPaintDevice &device, int xminTwips, int yminTwips) const
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double perTwip = device.logicalDpiY() / 1440.0;
    auto px = [perTwip](int twips) { return int(twips * perTwip); };
    painter.setFont(QFont(m_font, &device));
    const QFontMetrics metrics = painter.fontMetrics();
    const int margin = px(CellMarginTwips);
    const int rowHeight = metrics.height() + 2 * margin;
    const int columns = std::min(int(m_widths.size()), m_model.columnCount());
    const int left = px(xminTwips);
    const int right = left + px(std::accumulate(m_widths.cbegin(), m_widths.cbegin() + columns, 0));
    const int pageBottom = device.height();

    auto drawRow = [&](int y, auto textOf) {
        int x = left;
        painter.drawLine(left, y, right, y);
        for (int c = 0; c < columns; ++c) {
            const int w = px(m_widths.at(c));
            const QString text = fitText(textOf(c), metrics, w - 2 * margin);
            painter.drawText(QRect(x + margin, y + margin, w - 2 * margin, metrics.height()),
                             Qt::AlignLeft | Qt::AlignVCenter, text);
            painter.drawLine(x, y, x, y + rowHeight);
            x += w;
        }
        painter.drawLine(right, y, right, y + rowHeight);
        painter.drawLine(left, y + rowHeight, right, y + rowHeight);
    };
    auto caption = [&](int c) { return m_model.headerData(c, Qt::Horizontal).toString(); };

    int y = px(yminTwips);
    drawRow(y, caption);
    y += rowHeight;
    for (int r = 0; r < m_model.rowCount(); ++r) {
        if (y + rowHeight > pageBottom) {
            device.newPage();
            y = px(TopMarginTwips);
            drawRow(y, caption);
            y += rowHeight;
        }
        drawRow(y, [&](int c) { return m_model.index(r, c).data().toString(); });
        y += rowHeight;
    }
    return painter.end();
}
