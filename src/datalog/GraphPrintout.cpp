#include "datalog/GraphPrintout.h"

#include <QPagedPaintDevice>

#include <qcustomplot.h>

#include <vector>

namespace {

constexpr int TitlePixels = 16;
constexpr int TextPixels = 12;
constexpr int TickPixels = 11;
constexpr double Gap = 8;
constexpr double SwatchLength = 36;

QFont unitFont(int pixels, bool bold = false)
{
    QFont f;
    f.setPixelSize(pixels);
    f.setBold(bold);
    // Unhinted: the widths measured for the layout are the widths printed at any resolution.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// The plot's fonts in page units while it is printed, its own fonts back afterwards.
class PrintFonts
{
public:
    explicit PrintFonts(QCustomPlot &plot)
    {
        for (QCPAxis *axis : plot.axisRect()->axes()) {
            m_axes.push_back({axis, axis->labelFont(), axis->tickLabelFont()});
            axis->setLabelFont(unitFont(TextPixels));
            axis->setTickLabelFont(unitFont(TickPixels));
        }
    }
    ~PrintFonts()
    {
        for (const Saved &s : m_axes) {
            s.axis->setLabelFont(s.label);
            s.axis->setTickLabelFont(s.ticks);
        }
    }
    PrintFonts(const PrintFonts &) = delete;
    PrintFonts &operator=(const PrintFonts &) = delete;

private:
    struct Saved {
        QCPAxis *axis;
        QFont label;
        QFont ticks;
    };
    std::vector<Saved> m_axes;
};

std::vector<const QCPGraph *> shownGraphs(const QCustomPlot &plot)
{
    std::vector<const QCPGraph *> out;
    for (int i = 0; i < plot.graphCount(); ++i) {
        if (plot.graph(i)->visible())
            out.push_back(plot.graph(i));
    }
    return out;
}

double entryWidth(const QFontMetricsF &metrics, const QCPGraph *g)
{
    return SwatchLength + 6 + metrics.horizontalAdvance(g->name()) + 18;
}

} // namespace

GraphPrintout::GraphPrintout(QCustomPlot &plot) : m_plot(plot)
{
}

bool GraphPrintout::print(QPagedPaintDevice &device) const
{
    QCPPainter painter;
    if (!painter.begin(&device))
        return false;
    const double perUnit = device.logicalDpiX() / UnitsPerInch;
    const QSizeF page = QSizeF(device.pageLayout().paintRectPixels(device.logicalDpiX()).size()) / perUnit;
    painter.scale(perUnit, device.logicalDpiY() / UnitsPerInch);
    paint(painter, page);
    return painter.end();
}

void GraphPrintout::paint(QCPPainter &painter, const QSizeF &page) const
{
    double y = 0;
    for (int i = 0; i < heading.size(); ++i) {
        const QFont font = unitFont(i == 0 ? TitlePixels : TextPixels, i == 0);
        painter.setFont(font);
        const double h = QFontMetricsF(font).height();
        painter.drawText(QRectF(0, y, page.width(), h), Qt::AlignLeft | Qt::AlignVCenter, heading.at(i));
        y += h + 2;
    }
    y += Gap;
    const double lineHeight = QFontMetricsF(unitFont(TextPixels)).height();
    const double below = Gap + legendHeight(page.width()) + notes.size() * (lineHeight + 2);
    const double plotHeight = std::max(100.0, page.height() - y - below);
    {
        const PrintFonts fonts(m_plot);
        painter.save();
        painter.translate(0, y);
        painter.setMode(QCPPainter::pmVectorized);
        painter.setMode(QCPPainter::pmNoCaching);
        // Lines a screen pixel wide, not the device's hairlines.
        painter.setMode(QCPPainter::pmNonCosmetic);
        m_plot.toPainter(&painter, int(page.width()), int(plotHeight));
        painter.restore();
    }
    // toPainter laid the plot out at the page's size; the window's own layout comes back
    // with its next replot.
    m_plot.replot(QCustomPlot::rpQueuedReplot);
    y += plotHeight + Gap;
    paintLegend(painter, y, page.width());
    y += legendHeight(page.width());
    painter.setFont(unitFont(TextPixels));
    for (const QString &line : notes) {
        painter.drawText(QRectF(0, y, page.width(), lineHeight), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += lineHeight + 2;
    }
}

double GraphPrintout::legendHeight(double width) const
{
    const QFontMetricsF metrics(unitFont(TextPixels));
    int rows = 0;
    double x = width;
    for (const QCPGraph *g : shownGraphs(m_plot)) {
        const double w = entryWidth(metrics, g);
        if (x + w > width) {
            ++rows;
            x = 0;
        }
        x += w;
    }
    return rows * (metrics.height() + 4);
}

void GraphPrintout::paintLegend(QPainter &painter, double top, double width) const
{
    const QFont font = unitFont(TextPixels);
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    const double rowHeight = metrics.height() + 4;
    double x = 0;
    double y = top - rowHeight;
    bool first = true;
    for (const QCPGraph *g : shownGraphs(m_plot)) {
        const double w = entryWidth(metrics, g);
        if (first || x + w > width) {
            x = 0;
            y += rowHeight;
            first = false;
        }
        QPen pen = g->pen();
        pen.setWidthF(2);
        pen.setCosmetic(false);
        painter.setPen(pen);
        const double mid = y + rowHeight / 2;
        painter.drawLine(QPointF(x, mid), QPointF(x + SwatchLength, mid));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(x + SwatchLength + 6, y, w, rowHeight), Qt::AlignLeft | Qt::AlignVCenter, g->name());
        x += w;
    }
}
