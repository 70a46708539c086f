#include "ui/PrintPreview.h"

#include "ui/Dialogs.h"
#include "ui/ErrorGuard.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr int PageGap = 12;    // screen pixels between two pages and around them
constexpr qreal MinZoom = 0.5; // pixels per millimetre
constexpr qreal MaxZoom = 20;
constexpr qreal ZoomStep = 1.25;
// Pages laid out in the background between two looks at the event queue.
constexpr int LayoutSliceMs = 15;

QRectF paperMm(const QPrinter &printer)
{
    return printer.pageLayout().fullRect(QPageLayout::Millimeter);
}

} // namespace

PreviewPages::PreviewPages(PreviewDocument &document, QPrinter &printer, QWidget *parent)
    : QAbstractScrollArea(parent), m_document(document), m_printer(printer)
{
    setBackgroundRole(QPalette::Dark);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(40);
}

qreal PreviewPages::pageHeightPixels() const
{
    return paperMm(m_printer).height() * m_zoom;
}

qreal PreviewPages::pageStride() const
{
    return pageHeightPixels() + PageGap;
}

QRectF PreviewPages::pageRect(int index) const
{
    const QRectF paper = paperMm(m_printer);
    const qreal width = paper.width() * m_zoom;
    const qreal left = std::max(qreal(PageGap), (viewport()->width() - width) / 2) -
                       horizontalScrollBar()->value();
    const qreal top = PageGap + index * pageStride() - verticalScrollBar()->value();
    return QRectF(left, top, width, pageHeightPixels());
}

int PreviewPages::currentPage() const
{
    // The page that holds the middle of the view's top half.
    const qreal y = verticalScrollBar()->value() + viewport()->height() / 4.0;
    const int page = int(std::max(0.0, y - PageGap) / pageStride());
    return std::clamp(page, 0, std::max(0, m_document.pageCount() - 1));
}

void PreviewPages::showPage(int index)
{
    const int count = m_document.layOutPages(index + 1);
    updateExtent();
    verticalScrollBar()->setValue(int(std::clamp(index, 0, std::max(0, count - 1)) * pageStride()));
    viewport()->update();
}

void PreviewPages::setZoom(qreal pixelsPerMm)
{
    const int page = currentPage();
    m_zoom = std::clamp(pixelsPerMm, MinZoom, MaxZoom);
    updateExtent();
    showPage(page);
}

void PreviewPages::fitWidth()
{
    setZoom((viewport()->width() - 2 * PageGap) / paperMm(m_printer).width());
}

void PreviewPages::fitPage()
{
    const QRectF paper = paperMm(m_printer);
    setZoom(std::min((viewport()->width() - 2 * PageGap) / paper.width(),
                     (viewport()->height() - 2 * PageGap) / paper.height()));
}

void PreviewPages::pageChanged()
{
    m_document.setPage(&m_printer);
    updateExtent();
    showPage(0);
}

void PreviewPages::updateExtent()
{
    const int pages = std::max(1, m_document.pageCount());
    const qreal height = PageGap + pages * pageStride();
    verticalScrollBar()->setRange(0, std::max(0, int(height) - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    const int width = int(paperMm(m_printer).width() * m_zoom) + 2 * PageGap;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void PreviewPages::paintEvent(QPaintEvent *)
{
    if (m_failed)
        return;
    QPainter painter(viewport());
    const qreal top = verticalScrollBar()->value();
    const int first = int(std::max(0.0, top - PageGap) / pageStride());
    const int last = int((top + viewport()->height()) / pageStride());
    const int pages = m_document.layOutPages(last + 1);
    const QRectF paper = paperMm(m_printer);
    const QRectF printable = m_printer.pageLayout().paintRect(QPageLayout::Millimeter);
    const qreal deviceToScreen = m_zoom * 25.4 / m_printer.resolution();
    bool painted = false;
    guard(this, [&] {
        for (int index = first; index <= std::min(last, pages - 1); ++index) {
            const QRectF page = pageRect(index);
            painter.fillRect(page.translated(3, 3), palette().shadow());
            painter.fillRect(page, Qt::white);
            painter.save();
            painter.setClipRect(page);
            painter.translate(page.topLeft() + (printable.topLeft() - paper.topLeft()) * m_zoom);
            painter.scale(deviceToScreen, deviceToScreen);
            m_document.paintPage(painter, index);
            painter.restore();
        }
        painted = true;
    });
    if (!painted) {
        // One box is enough: the same page would fail again with every paint.
        m_failed = true;
        Q_EMIT failed();
    }
}

void PreviewPages::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateExtent();
}

void PreviewPages::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    const int steps = event->angleDelta().y() / 120;
    setZoom(m_zoom * std::pow(ZoomStep, steps));
    event->accept();
}

void PreviewPages::scrollContentsBy(int, int)
{
    viewport()->update();
    Q_EMIT currentPageChanged(currentPage());
}

PrintPreviewDialog::PrintPreviewDialog(PreviewDocument &document, QPrinter &printer,
                                       QWidget *parent)
    : QDialog(parent), m_document(document), m_printer(printer),
      m_pages(new PreviewPages(document, printer, this)), m_pageNumber(new QSpinBox(this)),
      m_pageCount(new QLabel(this)), m_layout(new QTimer(this))
{
    setWindowTitle(applicationTitle());
    auto *tools = new QToolBar(this);
    const auto add = [this, tools](QStyle::StandardPixmap icon, const QString &text,
                                   const QKeySequence &keys, auto &&handler) {
        QAction *action = tools->addAction(style()->standardIcon(icon), text);
        action->setShortcut(keys);
        action->setToolTip(keys.isEmpty() ? text
                                          : QStringLiteral("%1 (%2)").arg(
                                                text, keys.toString(QKeySequence::NativeText)));
        connect(action, &QAction::triggered, this, [this, handler] { guard(this, handler); });
        return action;
    };
    add(QStyle::SP_MediaSkipBackward, QStringLiteral("Первая страница"),
        QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { m_pages->showPage(0); });
    add(QStyle::SP_MediaSeekBackward, QStringLiteral("Предыдущая страница"),
        QKeySequence(Qt::Key_PageUp), [this] { m_pages->showPage(m_pages->currentPage() - 1); });
    m_pageNumber->setMinimum(1);
    m_pageNumber->setKeyboardTracking(false);
    m_pageNumber->setToolTip(QStringLiteral("Номер страницы"));
    tools->addWidget(m_pageNumber);
    tools->addWidget(m_pageCount);
    add(QStyle::SP_MediaSeekForward, QStringLiteral("Следующая страница"),
        QKeySequence(Qt::Key_PageDown), [this] { m_pages->showPage(m_pages->currentPage() + 1); });
    add(QStyle::SP_MediaSkipForward, QStringLiteral("Последняя страница"),
        QKeySequence(Qt::CTRL | Qt::Key_End), [this] {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            m_document.layOutPages(INT_MAX);
            QApplication::restoreOverrideCursor();
            updatePageCount();
            m_pages->showPage(m_document.pageCount() - 1);
        });
    tools->addSeparator();
    add(QStyle::SP_TitleBarShadeButton, QStringLiteral("Уменьшить"), QKeySequence::ZoomOut,
        [this] { m_pages->setZoom(m_pages->zoom() / ZoomStep); });
    add(QStyle::SP_TitleBarUnshadeButton, QStringLiteral("Увеличить"), QKeySequence::ZoomIn,
        [this] { m_pages->setZoom(m_pages->zoom() * ZoomStep); });
    add(QStyle::SP_ToolBarHorizontalExtensionButton, QStringLiteral("По ширине страницы"), {},
        [this] { m_pages->fitWidth(); });
    add(QStyle::SP_TitleBarNormalButton, QStringLiteral("Страница целиком"), {},
        [this] { m_pages->fitPage(); });
    tools->addSeparator();
    add(QStyle::SP_FileDialogDetailedView, QStringLiteral("Параметры страницы…"), {},
        [this] { pageSetup(); });
    // The two buttons a user looks for first carry their names.
    for (QAction *action :
         {add(QStyle::SP_DialogSaveButton, QStringLiteral("Печать…"), QKeySequence::Print,
              [this] { print(); }),
          add(QStyle::SP_DialogCloseButton, QStringLiteral("Закрыть"), {}, [this] { reject(); })}) {
        if (auto *button = qobject_cast<QToolButton *>(tools->widgetForAction(action)))
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    if (const QString notice = document.notice(); !notice.isEmpty()) {
        auto *label = new QLabel(notice, this);
        label->setObjectName(QStringLiteral("notice"));
        label->setWordWrap(true);
        label->setContentsMargins(8, 4, 8, 4);
        label->setAutoFillBackground(true);
        QPalette warning = label->palette();
        warning.setColor(QPalette::Window, QColor(255, 244, 200));
        warning.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(warning);
        layout->addWidget(label);
    }
    layout->addWidget(m_pages, 1);

    connect(m_pageNumber, &QSpinBox::valueChanged, this, [this](int number) {
        if (number - 1 != m_pages->currentPage())
            m_pages->showPage(number - 1);
    });
    connect(m_pages, &PreviewPages::currentPageChanged, this, [this](int index) {
        const QSignalBlocker quiet(m_pageNumber);
        m_pageNumber->setValue(index + 1);
    });
    connect(m_pages, &PreviewPages::failed, this, &QDialog::reject, Qt::QueuedConnection);
    // The rest of the pages is laid out while the first ones are looked at: the page count
    // becomes known without keeping the window from answering.
    m_layout->setInterval(0);
    connect(m_layout, &QTimer::timeout, this, [this] { guard(this, [this] { layOutMore(); }); });

    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        resize(screen->availableSize() * 4 / 5);
    m_pages->setFocus();
    m_document.layOutPages(1);
    updatePageCount();
    QTimer::singleShot(0, this, [this] {
        m_pages->fitWidth();
        m_layout->start();
    });
}

void PrintPreviewDialog::layOutMore()
{
    QElapsedTimer slice;
    slice.start();
    while (!m_document.isComplete() && slice.elapsed() < LayoutSliceMs)
        m_document.layOutPages(m_document.pageCount() + 1);
    updatePageCount();
}

void PrintPreviewDialog::updatePageCount()
{
    const int pages = m_document.pageCount();
    const bool complete = m_document.isComplete();
    if (complete)
        m_layout->stop();
    m_pageNumber->setMaximum(complete ? std::max(1, pages) : INT_MAX);
    m_pageCount->setText(complete ? QStringLiteral(" из %1 ").arg(pages)
                                  : QStringLiteral(" из %1… ").arg(pages));
    m_pages->updateExtent();
}

void PrintPreviewDialog::print()
{
    QPrintDialog dialog(&m_printer, this);
    dialog.setWindowTitle(QStringLiteral("Печать"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    m_document.print(&m_printer);
    accept();
}

void PrintPreviewDialog::pageSetup()
{
    QPageSetupDialog dialog(&m_printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_pages->pageChanged();
    updatePageCount();
    m_layout->start();
}

QString PrintPreviewDialog::shownNotice() const
{
    const auto *label = findChild<QLabel *>(QStringLiteral("notice"));
    return label ? label->text() : QString();
}

void PrintPreviewDialog::done(int result)
{
    m_layout->stop();
    QDialog::done(result);
}
