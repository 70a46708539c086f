#pragma once

#include <QAbstractScrollArea>
#include <QDialog>
#include <QRectF>

class QLabel;
class QPainter;
class QPrinter;
class QSpinBox;
class QTimer;

// What a preview shows and prints. Its pages are laid out as they are asked for, so a document
// of thousands of pages shows its first one at once and lays out the rest while it is looked at.
class PreviewDocument
{
public:
    virtual ~PreviewDocument() = default;

    // Starts the layout anew on the printer's page, measuring on the printer: the preview's
    // page set-up has changed it. No page is laid out yet.
    virtual void setPage(QPrinter *printer) = 0;
    // Lays pages out until there are `count` or the document ends; returns how many there are.
    virtual int layOutPages(int count) = 0;
    // Whether every page is laid out: pageCount() is then the document's page count.
    virtual bool isComplete() const = 0;
    virtual int pageCount() const = 0;
    // Paints one laid-out page (0-based) with the painter's origin at the top left of the
    // printable area, in the printer's device pixels.
    virtual void paintPage(QPainter &painter, int index) const = 0;
    // Lays out and prints every page on the printer; throws when it cannot.
    virtual void print(QPrinter *printer) = 0;
    // What the user should know of the pages (a part that did not fit); empty for nothing.
    virtual QString notice() const { return {}; }
};

// The pages one under the other, each painted when it comes into view.
class PreviewPages final : public QAbstractScrollArea
{
    Q_OBJECT

public:
    PreviewPages(PreviewDocument &document, QPrinter &printer, QWidget *parent = nullptr);

    // The page at the top of the view, 0-based.
    int currentPage() const;
    void showPage(int index);
    // Screen pixels per millimetre of paper.
    qreal zoom() const { return m_zoom; }
    void setZoom(qreal pixelsPerMm);
    void fitWidth();
    void fitPage();
    // The printer's page changed: its size, and the layout, start anew.
    void pageChanged();
    void updateExtent();

Q_SIGNALS:
    void currentPageChanged(int index);
    // Painting a page failed; the message has been shown.
    void failed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    qreal pageHeightPixels() const;
    qreal pageStride() const;
    QRectF pageRect(int index) const;

    PreviewDocument &m_document;
    QPrinter &m_printer;
    qreal m_zoom = 2;
    bool m_failed = false;
};

// The print preview: the pages, a way through them, the zoom, the page set-up and printing.
// Accepted once it has printed.
class PrintPreviewDialog final : public QDialog
{
    Q_OBJECT

public:
    PrintPreviewDialog(PreviewDocument &document, QPrinter &printer, QWidget *parent = nullptr);

    const PreviewDocument &document() const { return m_document; }
    // The document's notice as shown above the pages; empty when it has none.
    QString shownNotice() const;
    QPrinter *printer() const { return &m_printer; }
    PreviewPages *pages() const { return m_pages; }
    // Finished, it stops laying out: its document may be gone before the dialog is.
    void done(int result) override;

private:
    void layOutMore();
    void updatePageCount();
    void print();
    void pageSetup();

    PreviewDocument &m_document;
    QPrinter &m_printer;
    PreviewPages *m_pages;
    QSpinBox *m_pageNumber;
    QLabel *m_pageCount;
    QTimer *m_layout;
};
