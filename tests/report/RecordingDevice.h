#pragma once

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QList>
#include <QPaintDevice>
#include <QSizeF>
#include <memory>

class RecordingEngine;

// A paint device that keeps what is painted on it instead of pixels: every run of text with its
// font, colour, baseline start and width, and every line, in device pixels.
class RecordingDevice : public QPaintDevice
{
public:
    struct Text
    {
        QString text;
        QFont font;
        QColor colour;
        QPointF baseline;
        qreal width = 0;

        qreal centreX() const { return baseline.x() + width / 2; }
        qreal right() const { return baseline.x() + width; }
    };

    explicit RecordingDevice(const QSizeF &sizeMm, int dotsPerInch = 300);
    ~RecordingDevice() override;

    qreal pixelsPerMm() const { return m_dpi / 25.4; }
    QList<Text> texts() const;
    QList<QLineF> lines() const;
    // The texts alone, in the order they were painted.
    QStringList strings() const;
    void clear();

    QPaintEngine *paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QSizeF m_sizeMm;
    int m_dpi;
    std::unique_ptr<RecordingEngine> m_engine;
};
