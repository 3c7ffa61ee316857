#pragma once

#include <QFont>
#include <QList>

class QAbstractItemModel;
class QFontMetrics;
class QPagedPaintDevice;

// Prints a table model as a ruled grid: the caption row, then every row, each cell's text
// elided on the right when it does not fit its column less a margin of 60 twips a side. Positions and
// widths are in twips (1/1440 inch) from the page's printable corner; rows that do not fit
// go on further pages, each starting with the caption row at the top margin.
class GridPrinter
{
public:
    static constexpr int CellMarginTwips = 60;
    static constexpr int TopMarginTwips = 720;

    GridPrinter(const QAbstractItemModel &model, QList<int> columnWidthsTwips, QFont font);

    // Draws from (xmin, ymin) on the first page. False when the device cannot be painted on.
    bool print(QPagedPaintDevice &device, int xminTwips, int yminTwips) const;

    // Only this many leading characters of a cell are ever measured: no column is wide enough
    // to show more, and laying out a megabyte of text would stall the print for minutes.
    static constexpr int MaxMeasuredChars = 2000;

    // `text` as it fits `width` pixels in `metrics`: whole when it fits, else cut on the right
    // and ended with an ellipsis, in a single layout pass.
    static QString fitText(const QString &text, const QFontMetrics &metrics, int width);

private:
    const QAbstractItemModel &m_model;
    QList<int> m_widths;
    QFont m_font;
};
