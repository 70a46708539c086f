#pragma once

#include <QWidget>

class QListWidget;
class QTextBrowser;

// The program's own manual: its chapters on the left, the text on the right. Shown when no
// viewer for help.chm is at hand.
class HelpWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit HelpWindow(QWidget *parent = nullptr);

    QListWidget *contents() const { return m_contents; }
    QTextBrowser *text() const { return m_text; }

private:
    QListWidget *m_contents;
    QTextBrowser *m_text;
};
