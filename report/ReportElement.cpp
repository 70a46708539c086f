#include "report/ReportElement.h"

#include "db/RecordSet.h"
#include "report/Report.h"
#include "report/ReportBand.h"
#include "report/ReportData.h"

TReportElement::TReportElement(TReportBand *band) : m_band(band)
{}

TReportElement::~TReportElement() = default;

int TReportElement::toPixels(qreal mm) const
{
    return qRound(mm / m_band->report()->pixelsToMm(1));
}

qreal TReportElement::toMm(int pixels) const
{
    return m_band->report()->pixelsToMm(pixels);
}

int TReportElement::left() const
{
    return toPixels(m_leftMm);
}

void TReportElement::setLeft(int pixels)
{
    m_leftMm = toMm(pixels);
}

int TReportElement::top() const
{
    return toPixels(m_topMm);
}

void TReportElement::setTop(int pixels)
{
    m_topMm = toMm(pixels);
}

int TReportElement::width() const
{
    return toPixels(m_widthMm);
}

void TReportElement::setWidth(int pixels)
{
    m_widthMm = toMm(pixels);
}

void TReportElement::setAlignment(Qt::Alignment alignment)
{
    // Only the horizontal part: texts always hang from the element's top.
    m_alignment = alignment & Qt::AlignHorizontal_Mask;
}

TReportFont TReportElement::font() const
{
    return m_font.value_or(m_band->font());
}

QString TReportLabel::text(const ReportContext &) const
{
    return m_caption;
}

RecordSet *TReportDBText::dataSet() const
{
    return m_dataSet;
}

void TReportDBText::setDataSet(RecordSet *records)
{
    m_dataSet = records;
}

QString TReportDBText::text(const ReportContext &context) const
{
    return context.data ? context.data->text(this, context.record) : QString();
}

QString TReportSysData::text(const ReportContext &context) const
{
    return m_prefix + QString::number(context.page);
}
