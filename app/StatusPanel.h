#pragma once

#include <QLabel>

// One text panel of the main window's status bar. It asks for its preferred width and gives
// way when the window is narrow: an eliding panel (the database path) down to a few
// characters, cut in the middle with the whole text as tooltip; any other panel (the date,
// the time) never below its whole text.
class StatusPanel : public QLabel
{
    Q_OBJECT
public:
    StatusPanel(int preferredWidth, bool elides, QWidget *parent = nullptr);

    void setPanelText(const QString &text);
    // Whether the text is cut to fit.
    bool isElided() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    int textWidth() const;
    void updateToolTip();

    int m_preferredWidth;
    bool m_elides;
};
