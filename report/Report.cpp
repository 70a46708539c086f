#include "Report.h"

#include "Dialogs.h"
#include "Printer.h"
#include "RecordSet.h"
#include "ReportData.h"
#include "ReportLayout.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <cmath>
#include <stdexcept>

namespace {

constexpr qreal MarginMm = 10;

// Gives the printer the report's page and job name for one preview, and gives the printer
// back its own afterwards: the report's landscape must not stay with the process' printer.
class PrinterJobScope
{
public:
    PrinterJobScope(QPrinter &printer, const QPageLayout &layout, const QString &jobName)
        : m_printer(printer), m_layout(printer.pageLayout()), m_jobName(printer.docName())
    {
        if (!printer.setPageLayout(layout)) {
            // A printer whose least margins are wider keeps them; paper and orientation apply.
            printer.setPageSize(layout.pageSize());
            printer.setPageOrientation(layout.orientation());
        }
        printer.setDocName(jobName);
    }
    ~PrinterJobScope()
    {
        m_printer.setPageLayout(m_layout);
        m_printer.setDocName(m_jobName);
    }
    PrinterJobScope(const PrinterJobScope &) = delete;
    PrinterJobScope &operator=(const PrinterJobScope &) = delete;

private:
    QPrinter &m_printer;
    QPageLayout m_layout;
    QString m_jobName;
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
    const ReportData data = readData();
    QPrinter &printer = currentPrinter();
    const PrinterJobScope job(printer, pageLayout(), m_title);
    dialogs().printPreview(parent, &printer,
                           [this, &data](QPrinter *target) { print(target, data); });
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
