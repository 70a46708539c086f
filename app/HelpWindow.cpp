#include "app/HelpWindow.h"

#include "ui/Dialogs.h"

#include <QFile>
#include <QHBoxLayout>
#include <QListWidget>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBrowser>
#include <QUrl>

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_contents(new QListWidget(this)), m_text(new QTextBrowser(this))
{
    setWindowTitle(QStringLiteral("Справка — %1").arg(applicationTitle()));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(860, 600);
    m_text->setOpenExternalLinks(true);
    m_text->setSource(QUrl(QStringLiteral("qrc:/help/index.html")));

    // The chapters are the manual's own headings, each with its anchor.
    QFile manual(QStringLiteral(":/help/index.html"));
    manual.open(QIODevice::ReadOnly);
    const QString html = QString::fromUtf8(manual.readAll());
    const QRegularExpression heading(QStringLiteral("<h2 id=\"([^\"]+)\">(.*?)</h2>"));
    auto *top = new QListWidgetItem(QStringLiteral("О программе"), m_contents);
    top->setData(Qt::UserRole, QString());
    for (const QRegularExpressionMatch &match : heading.globalMatch(html)) {
        QString title = match.captured(2);
        title.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        auto *item = new QListWidgetItem(title, m_contents);
        item->setData(Qt::UserRole, match.captured(1));
    }
    connect(m_contents, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *item) {
        if (!item)
            return;
        const QString anchor = item->data(Qt::UserRole).toString();
        if (anchor.isEmpty())
            m_text->verticalScrollBar()->setValue(0);
        else
            m_text->scrollToAnchor(anchor);
    });

    auto *splitter = new QSplitter(this);
    splitter->addWidget(m_contents);
    splitter->addWidget(m_text);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({280, 580});
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
}
