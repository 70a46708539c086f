#include "report/ReportLayout.h"

#include "report/Report.h"
#include "report/ReportData.h"
#include "report/ReportElement.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <climits>

ReportLayout::ReportLayout(const TReport &report, const ReportData &data, const QSizeF &printableMm,
                           const QPaintDevice *device, Pagination pagination)
    : m_report(report), m_data(data), m_printableMm(printableMm),
      m_pixelsPerMmX(device->logicalDpiX() / 25.4), m_pixelsPerMmY(device->logicalDpiY() / 25.4),
      m_headers(printableBands(BandType::PageHeader)), m_details(printableBands(BandType::Detail)),
      m_footers(printableBands(BandType::PageFooter))
{
    for (const auto &band : report.bands()) {
        for (const auto &element : band->elements())
            m_texts.try_emplace(element.get(), element->font(), element->alignment(), device);
    }
    const auto columnHeaders = printableBands(BandType::ColumnHeader);
    m_headers.insert(m_headers.end(), columnHeaders.begin(), columnHeaders.end());
    m_records = m_details.empty() ? 0 : m_data.recordCount();
    if (pagination == Pagination::All)
        layOutPages(INT_MAX);
}

int ReportLayout::layOutPages(int count)
{
    while (!m_complete && pageCount() < count)
        layOutPage();
    return pageCount();
}

ReportLayout::~ReportLayout() = default;

const ReportText &ReportLayout::textOf(const TReportElement &element) const
{
    return m_texts.at(&element);
}

std::vector<const TReportBand *> ReportLayout::printableBands(BandType type) const
{
    // An empty band would only add blank room (or a blank line per record).
    std::vector<const TReportBand *> bands;
    for (const auto &band : m_report.bands()) {
        if (band->type() == type && !band->elements().empty())
            bands.push_back(band.get());
    }
    return bands;
}

qreal ReportLayout::measure(const TReportBand &band, int page, int record) const
{
    const ReportContext context{page, record, &m_data};
    qreal height = band.heightMm();
    for (const auto &element : band.elements()) {
        if (!element->autoStretch() || element->autoSize())
            continue;
        const qreal textHeight = textOf(*element).wrappedHeight(
            element->text(context), element->widthMm() * m_pixelsPerMmX);
        height = std::max(height, element->topMm() + textHeight / m_pixelsPerMmY);
    }
    return height;
}

void ReportLayout::layOutPage()
{
    ReportPage page;
    const int number = pageCount() + 1;
    qreal top = 0;
    for (const TReportBand *band : m_headers) {
        const qreal height = measure(*band, number, -1);
        page.bands.push_back({band, -1, top, height});
        top += height;
    }
    std::vector<qreal> footerHeights;
    for (const TReportBand *band : m_footers)
        footerHeights.push_back(measure(*band, number, -1));
    qreal footerTop = m_printableMm.height();
    for (const qreal height : footerHeights)
        footerTop -= height;

    // A record always goes on a page that has none yet, even if it is taller than the room:
    // the report must move on.
    std::vector<qreal> heights(m_details.size());
    for (bool first = true; m_nextRecord < m_records; ++m_nextRecord, first = false) {
        qreal total = 0;
        for (size_t i = 0; i < m_details.size(); ++i) {
            heights[i] = measure(*m_details[i], number, m_nextRecord);
            total += heights[i];
        }
        if (!first && top + total > footerTop)
            break;
        for (size_t i = 0; i < m_details.size(); ++i) {
            page.bands.push_back({m_details[i], m_nextRecord, top, heights[i]});
            top += heights[i];
        }
    }

    for (size_t i = 0; i < m_footers.size(); ++i) {
        page.bands.push_back({m_footers[i], -1, footerTop, footerHeights[i]});
        footerTop += footerHeights[i];
    }
    m_pages.push_back(std::move(page));
    m_complete = m_nextRecord >= m_records;
}

void ReportLayout::paintPage(QPainter &painter, int index) const
{
    for (const PlacedBand &placed : page(index).bands)
        paintBand(painter, placed, index + 1);
}

void ReportLayout::paintBand(QPainter &painter, const PlacedBand &placed, int page) const
{
    painter.save();
    const qreal top = placed.topMm * m_pixelsPerMmY;
    const qreal bottom = (placed.topMm + placed.heightMm) * m_pixelsPerMmY;
    const qreal right = m_printableMm.width() * m_pixelsPerMmX;

    // Frame lines one report pixel thick, whatever the device's resolution.
    QPen pen(Qt::black, std::max(1.0, m_report.pixelsToMm(1) * m_pixelsPerMmY));
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    if (placed.band->topLine())
        painter.drawLine(QPointF(0, top), QPointF(right, top));
    if (placed.band->bottomLine())
        painter.drawLine(QPointF(0, bottom), QPointF(right, bottom));

    const ReportContext context{page, placed.record, &m_data};
    for (const auto &element : placed.band->elements()) {
        const ReportText &text = textOf(*element);
        const QString content = element->text(context);
        const qreal left = element->leftMm() * m_pixelsPerMmX;
        const qreal elementTop = top + element->topMm() * m_pixelsPerMmY;
        const qreal width =
            element->autoSize() ? text.naturalWidth(content) : element->widthMm() * m_pixelsPerMmX;
        const QRectF rect(left, elementTop, width,
                          std::max(text.lineHeight(), bottom - elementTop));
        if (element->autoStretch() && !element->autoSize())
            text.drawWrapped(painter, rect, content);
        else
            text.drawLine(painter, rect, content);
    }
    painter.restore();
}
