#pragma once

#include "report/ReportFont.h"

#include <QPointer>
#include <QString>
#include <optional>

class RecordSet;
class ReportData;
class TReportBand;

// What an element prints depends on: the page, the record of the band (-1 outside the detail
// band), and the records read for the report.
struct ReportContext
{
    int page = 1;
    int record = -1;
    const ReportData *data = nullptr;
};

// Something printed on a band. Positions are kept in millimetres from the band's top left
// corner and may be set in report pixels as well.
class TReportElement
{
public:
    explicit TReportElement(TReportBand *band);
    virtual ~TReportElement();
    TReportElement(const TReportElement &) = delete;
    TReportElement &operator=(const TReportElement &) = delete;

    TReportBand *band() const { return m_band; }

    qreal leftMm() const { return m_leftMm; }
    void setLeftMm(qreal mm) { m_leftMm = mm; }
    qreal topMm() const { return m_topMm; }
    void setTopMm(qreal mm) { m_topMm = mm; }
    qreal widthMm() const { return m_widthMm; }
    void setWidthMm(qreal mm) { m_widthMm = mm; }

    // The same positions in report pixels.
    int left() const;
    void setLeft(int pixels);
    int top() const;
    void setTop(int pixels);
    int width() const;
    void setWidth(int pixels);

    // On, the element is as wide as its text on one line; off, it keeps its width.
    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool on) { m_autoSize = on; }
    // On (with automatic sizing off), a text wider than the element wraps and the band's
    // line grows to hold it; off, the text stays on one line and is cut at the element's edge.
    bool autoStretch() const { return m_autoStretch; }
    void setAutoStretch(bool on) { m_autoStretch = on; }

    // Left, right or centred.
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment);

    // The band's font until the element is given one of its own.
    TReportFont font() const;
    void setFont(const TReportFont &font) { m_font = font; }

    virtual QString text(const ReportContext &context) const = 0;

private:
    int toPixels(qreal mm) const;
    qreal toMm(int pixels) const;

    TReportBand *m_band;
    qreal m_leftMm = 0;
    qreal m_topMm = 0;
    qreal m_widthMm = 20;
    bool m_autoSize = true;
    bool m_autoStretch = false;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    std::optional<TReportFont> m_font;
};

// A fixed text.
class TReportLabel : public TReportElement
{
public:
    using TReportElement::TReportElement;

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption) { m_caption = caption; }

    QString text(const ReportContext &context) const override;

private:
    QString m_caption;
};

// The value of a named field of a record set, for the record being printed.
class TReportDBText : public TReportElement
{
public:
    using TReportElement::TReportElement;

    RecordSet *dataSet() const;
    void setDataSet(RecordSet *records);
    QString dataField() const { return m_dataField; }
    void setDataField(const QString &name) { m_dataField = name; }

    QString text(const ReportContext &context) const override;

private:
    QPointer<RecordSet> m_dataSet;
    QString m_dataField;
};

// A prefix followed directly by the page number: "стр." prints "стр.1", "стр.2" …
class TReportSysData : public TReportElement
{
public:
    using TReportElement::TReportElement;

    QString prefix() const { return m_prefix; }
    void setPrefix(const QString &prefix) { m_prefix = prefix; }

    QString text(const ReportContext &context) const override;

private:
    QString m_prefix;
};
