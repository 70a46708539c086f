#include "report/Report.h"

#include "db/RecordSet.h"
#include "report/ReportData.h"
#include "report/ReportLayout.h"
#include "ui/Dialogs.h"
#include "ui/PrintPreview.h"
#include "ui/Printer.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace {

constexpr qreal MarginMm = 10;

void setPage(QPrinter &printer, const QPageLayout &layout)
{
    if (!printer.setPageLayout(layout)) {
        // A printer whose least margins are wider keeps them; paper and orientation apply.
        printer.setPageSize(layout.pageSize());
        printer.setPageOrientation(layout.orientation());
    }
}

QSizeF printableMm(const QPrinter &printer)
{
    return printer.pageLayout().paintRect(QPageLayout::Millimeter).size();
}

// The report as its preview shows it: laid out on the preview's printer page by page, as the
// pages come into view.
class ReportDocument final : public PreviewDocument
{
public:
    ReportDocument(const TReport &report, ReportData data)
        : m_report(report), m_data(std::move(data))
    {}

    void setPage(QPrinter *printer) override
    {
        m_layout = std::make_unique<ReportLayout>(m_report, m_data, printableMm(*printer), printer,
                                                  ReportLayout::Pagination::AsNeeded);
    }
    int layOutPages(int count) override { return m_layout->layOutPages(count); }
    bool isComplete() const override { return m_layout->isComplete(); }
    int pageCount() const override { return m_layout->pageCount(); }
    void paintPage(QPainter &painter, int index) const override
    {
        m_layout->paintPage(painter, index);
    }
    void print(QPrinter *printer) override { m_report.print(printer, m_data); }
    QString notice() const override { return m_report.notice(); }

private:
    const TReport &m_report;
    const ReportData m_data;
    std::unique_ptr<ReportLayout> m_layout;
};

} // namespace

qreal screenPixelsPerInch()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

TReport::TReport()
    : m_paperSize(currentPrinter().pageLayout().pageSize()), m_pixelsPerInch(screenPixelsPerInch())
{}

TReport::~TReport() = default;

RecordSet *TReport::dataSet() const
{
    return m_dataSet;
}

void TReport::setDataSet(RecordSet *records)
{
    m_dataSet = records;
}

TReportBand *TReport::addBand(BandType type)
{
    m_bands.push_back(std::make_unique<TReportBand>(this, type));
    return m_bands.back().get();
}

QPageLayout TReport::pageLayout() const
{
    return QPageLayout(m_paperSize, m_orientation,
                       QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter);
}

qreal TReport::contentWidthMm() const
{
    return pageLayout().paintRect(QPageLayout::Millimeter).width();
}

int TReport::wholePixels(qreal mm) const
{
    // The small allowance keeps an exact whole number from falling to the one below.
    return int(std::floor(mm * m_pixelsPerInch / 25.4 + 1e-9));
}

ReportData TReport::readData() const
{
    return ReportData::read(*this);
}

void TReport::preview(QWidget *parent) const
{
    ReportDocument document(*this, readData());
    // The preview prints on a printer of its own: the report's landscape stays with this
    // report, and whatever fails in it leaves the process' printer as it was.
    const auto printer = printerForJob(currentPrinter(), m_title);
    setPage(*printer, pageLayout());
    // Its print dialog then shows the file it would write (and asks before replacing one).
    settlePrintFile(*printer, m_title);
    document.setPage(printer.get());
    const bool printed = dialogs().printPreview(parent, printer.get(), document);
    if (printed && printer->outputFormat() == QPrinter::PdfFormat)
        showPrintedFile(parent, printer->outputFileName());
}

void TReport::print(QPrinter *printer, const ReportData &data) const
{
    // The printer's own page: the preview's page set-up lays the report out anew.
    // Each page is laid out just before it is painted.
    ReportLayout layout(*this, data, printableMm(*printer), printer,
                        ReportLayout::Pagination::AsNeeded);
    QPainter painter;
    if (!painter.begin(printer))
        throw std::runtime_error("Не удалось начать печать на принтере");
    for (int page = 0; layout.layOutPages(page + 1) > page; ++page) {
        if (page > 0 && !printer->newPage())
            throw std::runtime_error("Не удалось начать новую страницу при печати");
        layout.paintPage(painter, page);
    }
    painter.end();
}
