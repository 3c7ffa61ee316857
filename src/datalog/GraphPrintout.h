#pragma once

#include <QSizeF>
#include <QStringList>

class QCustomPlot;
class QPagedPaintDevice;
class QCPPainter;
class QPainter;

// A graph on a page: heading lines (the first one the title), the plot, a legend of the
// plot's visible traces with their colour and line style, and notes under it (cursor
// readouts). Laid out in units of 1/96 inch whatever the device's resolution, with every
// font given in those units, so the plot's margins are measured with the fonts it paints
// with and no tick label or axis title is cut. Vector output on a PDF.
class GraphPrintout
{
public:
    static constexpr double UnitsPerInch = 96;

    explicit GraphPrintout(QCustomPlot &plot);

    QStringList heading;
    QStringList notes;

    // The printable area of `device`; false (the job ended) when it cannot be painted on.
    bool print(QPagedPaintDevice &device) const;
    // On a painter whose units are 1/96 inch, on a page of `page` such units.
    void paint(QCPPainter &painter, const QSizeF &page) const;

private:
    void paintLegend(QPainter &painter, double top, double width) const;
    double legendHeight(double width) const;

    QCustomPlot &m_plot;
};
