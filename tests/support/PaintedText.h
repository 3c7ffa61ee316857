#pragma once

// A paint device that keeps the texts painted on it, each with the device rectangle it
// covers and the page it is on: what a printout shows, read without a PDF reader.

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainterPath>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTextItem>

#include <cmath>
#include <memory>

class PaintedText : public QPaintDevice
{
public:
    struct Text {
        QString text;
        QRectF rect;  // device pixels
        int page = 0;
    };

    PaintedText(const QSize &pixels, int dpi) : m_size(pixels), m_dpi(dpi), m_engine(new Engine(*this)) {}

    QPaintEngine *paintEngine() const override { return m_engine.get(); }
    void newPage() { ++m_page; }

    QList<Text> texts;
    QStringList strings() const
    {
        QStringList out;
        for (const Text &t : texts)
            out << t.text;
        return out;
    }
    // The texts containing `part`.
    QList<Text> find(const QString &part) const
    {
        QList<Text> out;
        for (const Text &t : texts) {
            if (t.text.contains(part))
                out << t;
        }
        return out;
    }
    QRectF page() const { return QRectF(QPointF(0, 0), QSizeF(m_size)); }
    int pages() const { return m_page + 1; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return m_size.width();
        case PdmHeight: return m_size.height();
        case PdmWidthMM: return int(m_size.width() * 25.4 / m_dpi);
        case PdmHeightMM: return int(m_size.height() * 25.4 / m_dpi);
        case PdmNumColors: return 0x7fffffff;
        case PdmDepth: return 32;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return m_dpi;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    class Engine : public QPaintEngine
    {
    public:
        explicit Engine(PaintedText &device) : QPaintEngine(QPaintEngine::AllFeatures), m_device(device) {}
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &) override {}
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
        void drawPath(const QPainterPath &) override {}
        void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
        void drawLines(const QLineF *, int) override {}
        void drawRects(const QRectF *, int) override {}
        void drawEllipse(const QRectF &) override {}
        void drawTextItem(const QPointF &p, const QTextItem &item) override
        {
            const QRectF logical(p.x(), p.y() - item.ascent(), item.width(), item.ascent() + item.descent());
            const QRectF rect = state->transform().mapRect(logical);
            // A line of mixed scripts comes in runs, one a script: the runs of one line join.
            if (!m_device.texts.isEmpty()) {
                Text &last = m_device.texts.last();
                if (last.page == m_device.m_page && std::abs(last.rect.bottom() - rect.bottom()) < 0.5
                    && std::abs(last.rect.right() - rect.left()) < 0.5) {
                    last.text += item.text();
                    last.rect |= rect;
                    return;
                }
            }
            m_device.texts << Text{item.text(), rect, m_device.m_page};
        }
        Type type() const override { return QPaintEngine::User; }

    private:
        PaintedText &m_device;
    };

    QSize m_size;
    int m_dpi;
    int m_page = 0;
    std::unique_ptr<Engine> m_engine;
};
