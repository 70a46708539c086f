#pragma once

#include "report/ReportBand.h"
#include "report/ReportFont.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

class QPrinter;
class QWidget;
class RecordSet;
class ReportData;

// A banded report built at run time: a font that its bands and elements inherit, a title
// (the print job's name), a record set whose every record prints the detail band once, and
// a page. Lengths are millimetres; positions may also be given in report pixels, which
// print at the screen's resolution, so a column prints as wide as it is on screen.
class TReport
{
public:
    // The page starts as the paper of the current printer, portrait, with 10 mm margins.
    TReport();
    ~TReport();
    TReport(const TReport &) = delete;
    TReport &operator=(const TReport &) = delete;

    TReportFont font() const { return m_font; }
    void setFont(const TReportFont &font) { m_font = font; }

    QString title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }

    // What the preview tells the user beside the pages (a part left out); empty for nothing.
    QString notice() const { return m_notice; }
    void setNotice(const QString &notice) { m_notice = notice; }

    // Not owned; the report reads it when it is previewed.
    RecordSet *dataSet() const;
    void setDataSet(RecordSet *records);

    // --- Bands, in creation order; the report owns them.
    TReportBand *addBand(BandType type);
    const std::vector<std::unique_ptr<TReportBand>> &bands() const { return m_bands; }

    // --- Page. Bands span the page between the margins, so turning the page widens them.
    QPageLayout::Orientation orientation() const { return m_orientation; }
    void setOrientation(QPageLayout::Orientation orientation) { m_orientation = orientation; }
    QPageSize paperSize() const { return m_paperSize; }
    void setPaperSize(const QPageSize &size) { m_paperSize = size; }
    QPageLayout pageLayout() const;
    // The width between the margins.
    qreal contentWidthMm() const;

    // --- Report pixels: n pixels are n × 25.4 / D mm at D dots per inch.
    qreal pixelsPerInch() const { return m_pixelsPerInch; }
    qreal pixelsToMm(qreal pixels) const { return pixels * 25.4 / m_pixelsPerInch; }
    // Whole pixels that fit in the length (what a band reports as its width).
    int wholePixels(qreal mm) const;

    // Reads every record of the record set and shows the pages in the preview on the process'
    // printer; returns when the preview is closed. Throws DbError (and previews nothing) when
    // the records cannot be read or a field is missing.
    void preview(QWidget *parent) const;

    // The records as they are now: what preview() shows.
    ReportData readData() const;
    // Lays the report out on the printer's page and prints every page of it.
    void print(QPrinter *printer, const ReportData &data) const;

private:
    TReportFont m_font;
    QString m_title;
    QString m_notice;
    QPointer<RecordSet> m_dataSet;
    std::vector<std::unique_ptr<TReportBand>> m_bands;
    QPageSize m_paperSize;
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
    qreal m_pixelsPerInch;
};

// The logical resolution of the primary screen (96 where there is none).
qreal screenPixelsPerInch();
