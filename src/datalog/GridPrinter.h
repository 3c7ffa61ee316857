#pragma once

#include <QFont>
#include <QList>

class QAbstractItemModel;
class QPagedPaintDevice;

// Prints a table model as a ruled grid: the caption row, then every row, each cell's text
// cut from the right until it fits its column less a margin of 60 twips a side. Positions and
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

    // `text` shortened from the right until `fits` says it does.
    template<class Fits>
    static QString fitText(QString text, Fits fits)
    {
        while (!text.isEmpty() && !fits(text))
            text.chop(1);
        return text;
    }

private:
    const QAbstractItemModel &m_model;
    QList<int> m_widths;
    QFont m_font;
};
