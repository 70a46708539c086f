#include "app/Unit5.h"

#include "ui/Dialogs.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

constexpr QSize splashSize(456, 280);
constexpr QRect drawingGeometry(8, 80, 265, 209);

// How long start-up waits for the window system to map the splash window.
constexpr int exposeTimeoutMs = 500;

} // namespace

QPixmap splashPicture()
{
    QPixmap picture(splashSize);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, splashSize.height());
    sky.setColorAt(0, QColor(18, 52, 96));
    sky.setColorAt(1, QColor(24, 112, 128));
    painter.fillRect(picture.rect(), sky);

    // A faint measuring grid, as on the charts the program draws.
    painter.save();
    painter.setPen(QPen(QColor(255, 255, 255, 28), 1));
    for (int x = 0; x < splashSize.width(); x += 24)
        painter.drawLine(x, 0, x, splashSize.height());
    for (int y = 0; y < splashSize.height(); y += 24)
        painter.drawLine(0, y, splashSize.width(), y);
    painter.restore();

    const QRect textArea(250, 40, 190, 200);
    painter.save();
    QFont title(u"DejaVu Sans"_s);
    title.setPixelSize(38);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(textArea.adjusted(0, 0, 0, -140), Qt::AlignRight | Qt::AlignVCenter,
                     applicationTitle());
    QFont subtitle(u"DejaVu Sans"_s);
    subtitle.setPixelSize(14);
    painter.setFont(subtitle);
    painter.setPen(QColor(210, 232, 240));
    painter.drawText(textArea.adjusted(0, 70, 0, 0),
                     Qt::AlignRight | Qt::AlignTop | Qt::TextWordWrap,
                     u"Мониторинг использования средств ИКТ в преподавании дисциплин"_s);
    painter.restore();

    painter.save();
    QFont small(u"DejaVu Sans"_s);
    small.setPixelSize(11);
    painter.setFont(small);
    painter.setPen(QColor(180, 210, 220));
    painter.drawText(QRect(0, 250, 440, 20), Qt::AlignRight | Qt::AlignVCenter, u"Загрузка…"_s);
    painter.restore();
    return picture;
}

SplashDrawing::SplashDrawing(QWidget *parent) : QWidget(parent)
{}

void SplashDrawing::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // Monitor case and screen.
    painter.save();
    painter.setPen(QPen(QColor(10, 30, 50), 2));
    painter.setBrush(QColor(205, 215, 225));
    painter.drawPolygon(QPolygon({{20, 10}, {235, 10}, {235, 140}, {20, 140}}));
    painter.setBrush(QColor(245, 250, 255));
    painter.drawPolygon(QPolygon({{32, 22}, {223, 22}, {223, 128}, {32, 128}}));
    painter.setBrush(QColor(150, 160, 175));
    painter.drawPolygon(QPolygon({{110, 140}, {145, 140}, {155, 165}, {100, 165}}));
    painter.drawPolygon(QPolygon({{75, 165}, {180, 165}, {185, 176}, {70, 176}}));
    painter.restore();

    // Bars of measured values.
    painter.save();
    painter.setPen(Qt::NoPen);
    const QColor barColours[] = {QColor(64, 140, 220), QColor(80, 180, 120), QColor(240, 170, 60),
                                 QColor(220, 80, 80)};
    const int heights[] = {36, 58, 47, 80};
    for (int i = 0; i < 4; ++i) {
        const int left = 48 + i * 42;
        painter.setBrush(barColours[i]);
        painter.drawPolygon(QPolygon({{left, 120},
                                      {left + 26, 120},
                                      {left + 26, 120 - heights[i]},
                                      {left, 120 - heights[i]}}));
    }
    painter.restore();

    // The trend arrow over the bars.
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 30, 40));
    painter.drawPolygon(QPolygon({{44, 100},
                                  {100, 70},
                                  {140, 84},
                                  {190, 40},
                                  {184, 34},
                                  {212, 28},
                                  {204, 56},
                                  {198, 48},
                                  {142, 96},
                                  {102, 82},
                                  {48, 110}}));
    painter.restore();
}

TSplashForm::TSplashForm(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setFixedSize(splashSize);

    Image1 = new QLabel(this);
    Image1->setGeometry(QRect(QPoint(0, 0), splashSize));
    Image1->setPixmap(splashPicture());

    Image2 = new SplashDrawing(this);
    Image2->setGeometry(drawingGeometry);
}

void TSplashForm::showAndPaint()
{
    if (const QScreen *display = screen())
        move(display->availableGeometry().center() - rect().center());
    show();

    // The window system maps the window asynchronously; paint only once it can be seen, but
    // never hold start-up for long. The timer wakes the wait when no window event comes.
    QTimer wake;
    wake.start(20);
    const QDeadlineTimer deadline(exposeTimeoutMs);
    while (!(windowHandle() && windowHandle()->isExposed()) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
