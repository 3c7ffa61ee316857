#include "datalog/GridPrinter.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>
#include <numeric>
#include <utility>

namespace {

// Rows measured at each end of the model for a column's width: readings and time stamps
// keep their length, so a few hundred stand for a million.
constexpr int MeasuredRows = 200;

} // namespace

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

QList<int> GridPrinter::columnWidths(const QFontMetrics &metrics, double perTwip, int pageWidth) const
{
    const int columns = m_model.columnCount();
    const int rows = m_model.rowCount();
    const int padding = 2 * int(CellMarginTwips * perTwip) + 2;
    // A long comment takes at most half the page; the rest of it is elided.
    const int widest = pageWidth / 2;
    QList<int> out;
    for (int c = 0; c < columns; ++c) {
        int w = c < m_widths.size() ? int(m_widths.at(c) * perTwip) : 0;
        w = std::max(w, metrics.horizontalAdvance(m_model.headerData(c, Qt::Horizontal).toString()) + padding);
        auto measure = [&](int r) {
            const QString text = m_model.index(r, c).data().toString().left(MaxMeasuredChars);
            w = std::max(w, std::min(widest, metrics.horizontalAdvance(text) + padding));
        };
        for (int r = 0; r < std::min(rows, MeasuredRows); ++r)
            measure(r);
        for (int r = std::max(MeasuredRows, rows - MeasuredRows); r < rows; ++r)
            measure(r);
        out << w;
    }
    return out;
}

QList<QList<int>> GridPrinter::bands(const QList<int> &widths, int pageWidth, int groupColumns)
{
    const int group = std::max(1, groupColumns);
    const int repeated = std::min(RepeatedColumns, int(widths.size()));
    QList<int> lead;
    int leadWidth = 0;
    for (int c = 0; c < repeated; ++c) {
        lead << c;
        leadWidth += widths.at(c);
    }
    QList<QList<int>> out;
    QList<int> band = lead;
    int used = leadWidth;
    for (int first = repeated; first < widths.size(); first += group) {
        const int last = std::min(int(widths.size()), first + group);
        const int groupWidth = std::accumulate(widths.cbegin() + first, widths.cbegin() + last, 0);
        for (int c = first; c < last; ++c) {
            // A band holds at least one column of its own, however wide; a group starts a
            // new band when it does not fit whole, and is split only when no page holds it.
            const bool full = used + (c == first ? groupWidth : widths.at(c)) > pageWidth;
            const bool fitsAlone = leadWidth + groupWidth <= pageWidth;
            if (band.size() > repeated && full && (c == first || !fitsAlone)) {
                out << band;
                band = lead;
                used = leadWidth;
            }
            band << c;
            used += widths.at(c);
        }
    }
    out << band;
    return out;
}

bool GridPrinter::print(QPagedPaintDevice &device, int xminTwips, int yminTwips) const
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const QSize page = device.pageLayout().paintRectPixels(device.logicalDpiX()).size();
    paint(painter, page, xminTwips, yminTwips, [&device] { device.newPage(); });
    return painter.end();
}

void GridPrinter::paint(QPainter &painter, const QSize &page, int xminTwips, int yminTwips,
                        const std::function<void()> &newPage) const
{
    const double perTwip = painter.device()->logicalDpiY() / 1440.0;
    auto px = [perTwip](int twips) { return int(twips * perTwip); };
    painter.setFont(QFont(m_font, painter.device()));
    const QFontMetrics metrics = painter.fontMetrics();
    const int margin = px(CellMarginTwips);
    const int lineHeight = metrics.height();
    const int rowHeight = lineHeight + 2 * margin;
    const int left = px(xminTwips);
    const QList<int> widths = columnWidths(metrics, perTwip, page.width() - 2 * left);
    const QList<QList<int>> columnBands = bands(widths, page.width() - 2 * left, groupColumns);

    const int top = px(TopMarginTwips);
    const int headingHeight = int(heading.size()) * lineHeight + (heading.isEmpty() ? 0 : margin);
    const int footer = lineHeight + margin;
    const int firstTop = std::max(top, px(yminTwips));
    auto rowsFitting = [&](int from) {
        return std::max(1, (page.height() - footer - from - headingHeight - rowHeight) / rowHeight);
    };
    // Row blocks: the first page's block may start lower (below a graph).
    QList<std::pair<int, int>> blocks;
    const int rows = m_model.rowCount();
    for (int r = 0; r < rows || blocks.isEmpty();) {
        const int n = rowsFitting(blocks.isEmpty() ? firstTop : top);
        blocks << std::pair{r, std::min(rows, r + n)};
        r += n;
    }
    const int pages = int(blocks.size() * columnBands.size());

    auto drawRow = [&](int y, const QList<int> &columns, auto textOf) {
        int right = left;
        for (int c : columns)
            right += widths.at(c);
        painter.drawLine(left, y, right, y);
        int x = left;
        for (int c : columns) {
            const int w = widths.at(c);
            painter.drawText(QRect(x + margin, y + margin, w - 2 * margin, lineHeight),
                             Qt::AlignLeft | Qt::AlignVCenter, fitText(textOf(c), metrics, w - 2 * margin));
            painter.drawLine(x, y, x, y + rowHeight);
            x += w;
        }
        painter.drawLine(right, y, right, y + rowHeight);
        painter.drawLine(left, y + rowHeight, right, y + rowHeight);
    };
    auto caption = [&](int c) { return m_model.headerData(c, Qt::Horizontal).toString(); };

    int pageNo = 0;
    for (qsizetype b = 0; b < blocks.size(); ++b) {
        for (const QList<int> &columns : columnBands) {
            if (pageNo > 0)
                newPage();
            ++pageNo;
            int y = pageNo == 1 ? firstTop : top;
            for (const QString &line : heading) {
                painter.drawText(QRect(left, y, page.width() - left, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                                 line);
                y += lineHeight;
            }
            y += heading.isEmpty() ? 0 : margin;
            drawRow(y, columns, caption);
            y += rowHeight;
            for (int r = blocks.at(b).first; r < blocks.at(b).second; ++r) {
                drawRow(y, columns, [&](int c) { return m_model.index(r, c).data().toString(); });
                y += rowHeight;
            }
            painter.drawText(QRect(left, page.height() - footer, page.width() - 2 * left, lineHeight),
                             Qt::AlignRight | Qt::AlignVCenter,
                             QStringLiteral("page %1 of %2").arg(pageNo).arg(pages));
        }
    }
}
