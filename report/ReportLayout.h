#pragma once

#include "report/ReportBand.h"
#include "report/ReportText.h"

#include <QSizeF>
#include <unordered_map>
#include <vector>

class QPainter;
class QPaintDevice;
class ReportData;
class TReport;
class TReportBand;
class TReportElement;

// One band printed on a page: which band, the record it prints (-1 outside the detail band),
// and where it stands, in millimetres from the top of the page's printable area.
struct PlacedBand
{
    const TReportBand *band = nullptr;
    int record = -1;
    qreal topMm = 0;
    qreal heightMm = 0;
};

struct ReportPage
{
    std::vector<PlacedBand> bands;
};

// A report laid out on pages of one printable size: the page header and the column header on
// top of every page, as many detail lines as fit (each line as tall as its tallest wrapped
// text), the page footer at the foot. A band with nothing on it takes no room. Texts are
// measured on the paint device that the pages are then painted on.
//
// Pages may be laid out all at once or as they are asked for: a page depends only on the
// pages before it, so both ways give the same pages.
class ReportLayout
{
public:
    enum class Pagination
    {
        All,
        AsNeeded
    };

    ReportLayout(const TReport &report, const ReportData &data, const QSizeF &printableMm,
                 const QPaintDevice *device, Pagination pagination = Pagination::All);
    ~ReportLayout();
    ReportLayout(const ReportLayout &) = delete;
    ReportLayout &operator=(const ReportLayout &) = delete;

    QSizeF printableMm() const { return m_printableMm; }
    // The pages laid out so far: all of them once isComplete().
    int pageCount() const { return int(m_pages.size()); }
    bool isComplete() const { return m_complete; }
    // Lays pages out until there are `count` or the report ends; returns pageCount().
    int layOutPages(int count);
    const ReportPage &page(int index) const { return m_pages.at(size_t(index)); }

    // Paints one page (0-based) with the painter's origin at the printable area's top left.
    void paintPage(QPainter &painter, int index) const;

private:
    void layOutPage();
    std::vector<const TReportBand *> printableBands(BandType type) const;
    qreal measure(const TReportBand &band, int page, int record) const;
    void paintBand(QPainter &painter, const PlacedBand &placed, int page) const;
    const ReportText &textOf(const TReportElement &element) const;

    const TReport &m_report;
    const ReportData &m_data;
    QSizeF m_printableMm;
    qreal m_pixelsPerMmX;
    qreal m_pixelsPerMmY;
    std::unordered_map<const TReportElement *, ReportText> m_texts;
    std::vector<const TReportBand *> m_headers; // page headers, then column headers
    std::vector<const TReportBand *> m_details;
    std::vector<const TReportBand *> m_footers;
    int m_records = 0;
    int m_nextRecord = 0; // the first record not yet on a page
    bool m_complete = false;
    std::vector<ReportPage> m_pages;
};
