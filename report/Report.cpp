#include "report/Report.h"

#include "db/RecordSet.h"
#include "report/ReportData.h"
#include "report/ReportLayout.h"
#include "ui/Dialogs.h"
#include "ui/Printer.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <cmath>
#include <stdexcept>

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
    const ReportData data = readData();
    // The preview prints on a printer of its own: the report's landscape stays with this
    // report, and whatever fails in it leaves the process' printer as it was.
    const auto printer = printerForJob(currentPrinter(), m_title);
    setPage(*printer, pageLayout());
    // Its print dialog then shows the file it would write (and asks before replacing one).
    settlePrintFile(*printer, m_title);
    const bool printed = dialogs().printPreview(
        parent, printer.get(), [this, &data](QPrinter *target) { print(target, data); });
    if (printed && printer->outputFormat() == QPrinter::PdfFormat)
        showPrintedFile(parent, printer->outputFileName());
}

void TReport::print(QPrinter *printer, const ReportData &data) const
{
    // The printer's own page: the preview's page set-up lays the report out anew.
    const QSizeF printable = printer->pageLayout().paintRect(QPageLayout::Millimeter).size();
    const ReportLayout layout(*this, data, printable, printer);
    QPainter painter;
    if (!painter.begin(printer))
        throw std::runtime_error("Не удалось начать печать на принтере");
    for (int page = 0; page < layout.pageCount(); ++page) {
        if (page > 0 && !printer->newPage())
            throw std::runtime_error("Не удалось начать новую страницу при печати");
        layout.paintPage(painter, page);
    }
    painter.end();
}
