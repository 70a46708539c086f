#include "app/StatusPanel.h"

#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace {

// An eliding panel keeps room for a few characters and the ellipsis.
constexpr int ElidedMinimumChars = 8;

} // namespace

StatusPanel::StatusPanel(int preferredWidth, bool elides, QWidget *parent)
    : QLabel(parent), m_preferredWidth(preferredWidth), m_elides(elides)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void StatusPanel::setPanelText(const QString &text)
{
    if (text == this->text())
        return;
    setText(text);
    updateGeometry();
    updateToolTip();
}

int StatusPanel::textWidth() const
{
    const QMargins frame = contentsMargins();
    return fontMetrics().horizontalAdvance(text()) + 2 * margin() + frame.left() + frame.right() +
           2 * fontMetrics().horizontalAdvance(u' ');
}

bool StatusPanel::isElided() const
{
    return m_elides && textWidth() > width();
}

QSize StatusPanel::sizeHint() const
{
    const QSize base = QLabel::sizeHint();
    const int width = m_elides ? m_preferredWidth : std::max(m_preferredWidth, textWidth());
    return {width, base.height()};
}

QSize StatusPanel::minimumSizeHint() const
{
    const QSize base = QLabel::minimumSizeHint();
    if (!m_elides)
        return {textWidth(), base.height()};
    const QMargins frame = contentsMargins();
    const int least =
        fontMetrics().averageCharWidth() * ElidedMinimumChars + frame.left() + frame.right();
    return {std::min(least, m_preferredWidth), base.height()};
}

void StatusPanel::paintEvent(QPaintEvent *event)
{
    if (!m_elides) {
        QLabel::paintEvent(event);
        return;
    }
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect room = contentsRect().adjusted(margin(), 0, -margin(), 0);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, room.width());
    style()->drawItemText(&painter, room, int(alignment() | Qt::AlignVCenter), palette(),
                          isEnabled(), shown, foregroundRole());
}

void StatusPanel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateToolTip();
}

void StatusPanel::updateToolTip()
{
    if (m_elides)
        setToolTip(isElided() ? text() : QString());
}
