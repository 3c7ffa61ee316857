#pragma once

#include <QFont>
#include <QList>
#include <QStringList>

#include <functional>

class QAbstractItemModel;
class QFontMetrics;
class QPagedPaintDevice;
class QPainter;
class QSize;

// Prints a table model as a ruled grid on as many pages as it takes. Each column is as wide
// as its caption and its texts (at least the width given in twips, 1/1440 inch); columns
// that do not fit the page's width continue on following pages, which repeat the leading
// columns (sample number and time). Every page starts with the heading lines and the
// caption row and ends with "page n of m". A cell still too long for its column (a long
// comment) is elided on the right.
class GridPrinter
{
public:
    static constexpr int CellMarginTwips = 60;
    static constexpr int TopMarginTwips = 720;
    // Columns repeated on the left of every page.
    static constexpr int RepeatedColumns = 2;

    GridPrinter(const QAbstractItemModel &model, QList<int> columnWidthsTwips, QFont font);

    // Lines printed at the top of every page.
    QStringList heading;
    // The columns after the repeated ones go to pages in groups of this many (one channel's
    // voltage, current and condition), so a group is split only when it cannot fit a page.
    int groupColumns = 1;

    // Draws from (xmin, ymin) on the first page and from (xmin, TopMarginTwips) on the others.
    // False when the device cannot be painted on.
    bool print(QPagedPaintDevice &device, int xminTwips, int yminTwips) const;
    // The same on `painter`, whose device has pages of `page` pixels; `newPage` starts the
    // next one.
    void paint(QPainter &painter, const QSize &page, int xminTwips, int yminTwips,
               const std::function<void()> &newPage) const;

    // The columns of each band: the repeated ones, then those that fit the width after them.
    static QList<QList<int>> bands(const QList<int> &widths, int pageWidth, int groupColumns = 1);

    // Only this many leading characters of a cell are ever measured: no column is wide enough
    // to show more, and laying out a megabyte of text would stall the print for minutes.
    static constexpr int MaxMeasuredChars = 2000;

    // `text` as it fits `width` pixels in `metrics`: whole when it fits, else cut on the right
    // and ended with an ellipsis, in a single layout pass.
    static QString fitText(const QString &text, const QFontMetrics &metrics, int width);

private:
    QList<int> columnWidths(const QFontMetrics &metrics, double perTwip, int pageWidth) const;

    const QAbstractItemModel &m_model;
    QList<int> m_widths;
    QFont m_font;
};
