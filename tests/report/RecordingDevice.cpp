#include "tests/report/RecordingDevice.h"

#include <QPaintEngine>

class RecordingEngine : public QPaintEngine
{
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &changed) override
    {
        if (changed.state() & QPaintEngine::DirtyPen)
            m_pen = changed.pen();
        if (changed.state() & QPaintEngine::DirtyTransform)
            m_transform = changed.transform();
    }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
    void drawLines(const QLineF *lines, int count) override
    {
        for (int i = 0; i < count; ++i)
            recordedLines.append(m_transform.map(lines[i]));
    }
    void drawTextItem(const QPointF &position, const QTextItem &item) override
    {
        recordedTexts.append(
            {item.text(), item.font(), m_pen.color(), m_transform.map(position), item.width()});
    }
    Type type() const override { return QPaintEngine::User; }

    QList<RecordingDevice::Text> recordedTexts;
    QList<QLineF> recordedLines;

private:
    QPen m_pen;
    QTransform m_transform;
};

RecordingDevice::RecordingDevice(const QSizeF &sizeMm, int dotsPerInch)
    : m_sizeMm(sizeMm), m_dpi(dotsPerInch), m_engine(std::make_unique<RecordingEngine>())
{}

RecordingDevice::~RecordingDevice() = default;

QList<RecordingDevice::Text> RecordingDevice::texts() const
{
    return m_engine->recordedTexts;
}

QList<QLineF> RecordingDevice::lines() const
{
    return m_engine->recordedLines;
}

QStringList RecordingDevice::strings() const
{
    QStringList result;
    for (const Text &text : m_engine->recordedTexts)
        result.append(text.text);
    return result;
}

void RecordingDevice::clear()
{
    m_engine->recordedTexts.clear();
    m_engine->recordedLines.clear();
}

QPaintEngine *RecordingDevice::paintEngine() const
{
    return m_engine.get();
}

int RecordingDevice::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth:
        return qRound(m_sizeMm.width() * pixelsPerMm());
    case PdmHeight:
        return qRound(m_sizeMm.height() * pixelsPerMm());
    case PdmWidthMM:
        return qRound(m_sizeMm.width());
    case PdmHeightMM:
        return qRound(m_sizeMm.height());
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return m_dpi;
    case PdmDepth:
        return 32;
    case PdmNumColors:
        return INT_MAX;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(QPaintDevice::devicePixelRatioFScale());
    default:
        return QPaintDevice::metric(metric);
    }
}
