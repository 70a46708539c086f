#include "analysis/ChartImage.h"

#include "ui/Dialogs.h"
#include "ui/ErrorGuard.h"

#include <QChartView>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QStandardPaths>
#include <QSvgGenerator>
#include <stdexcept>

namespace {

[[noreturn]] void notWritten(const QString &path)
{
    throw std::runtime_error(QStringLiteral("Не удалось записать файл «%1»")
                                 .arg(QDir::toNativeSeparators(path))
                                 .toStdString());
}

} // namespace

void saveChartImage(QChartView &view, const QString &path)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(view.size());
        svg.setViewBox(view.rect());
        svg.setTitle(view.window()->windowTitle());
        QPainter painter;
        if (!painter.begin(&svg))
            notWritten(path);
        view.render(&painter);
        painter.end();
        return;
    }
    // The whole view scaled into the larger image: drawn again at that size, not enlarged.
    // The target is given in the image's own pixels; left to itself, render() would take the
    // image's pixel size for the view's and draw only its top left part.
    QImage image(view.size() * ChartImageScale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    view.render(&painter, QRectF(image.rect()), view.rect(), Qt::IgnoreAspectRatio);
    painter.end();
    if (!image.save(path, "PNG"))
        notWritten(path);
}

namespace {

class ChartImageMenu final : public QObject
{
public:
    ChartImageMenu(QChartView &view, const QString &proposedName, RightClick rightClick)
        : QObject(&view), m_view(view), m_proposedName(proposedName), m_rightClick(rightClick)
    {
        view.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != &m_view || event->type() != QEvent::ContextMenu)
            return false;
        const auto *request = static_cast<QContextMenuEvent *>(event);
        if (m_rightClick == RightClick::IsTaken && request->reason() == QContextMenuEvent::Mouse &&
            !(request->modifiers() & Qt::ControlModifier))
            return false;
        QMenu menu(&m_view);
        menu.addAction(QStringLiteral("Сохранить как изображение…"), &m_view,
                       [this] { guard(&m_view, [this] { saveAsked(); }); });
        menu.exec(request->globalPos());
        return true;
    }

private:
    void saveAsked()
    {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        const QString path = dialogs().saveFileName(
            &m_view, {QStringLiteral("Сохранить как изображение"),
                      QDir(folder).filePath(m_proposedName + QStringLiteral(".png")),
                      QStringLiteral("PNG (*.png);;SVG (*.svg)")});
        if (!path.isEmpty())
            saveChartImage(m_view, path);
    }

    QChartView &m_view;
    QString m_proposedName;
    RightClick m_rightClick;
};

} // namespace

void offerChartImage(QChartView &view, const QString &proposedName, RightClick rightClick)
{
    new ChartImageMenu(view, proposedName, rightClick);
}
