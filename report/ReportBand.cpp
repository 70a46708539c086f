#include "report/ReportBand.h"

#include "report/Report.h"
#include "report/ReportElement.h"

TReportBand::TReportBand(TReport *report, BandType type) : m_report(report), m_type(type)
{}

TReportBand::~TReportBand() = default;

TReportFont TReportBand::font() const
{
    return m_font.value_or(m_report->font());
}

int TReportBand::widthPixels() const
{
    return m_report->wholePixels(widthMm());
}

qreal TReportBand::widthMm() const
{
    return m_report->contentWidthMm();
}
