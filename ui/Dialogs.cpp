#include "Dialogs.h"

#include "ErrorGuard.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

QString applicationTitle()
{
    return QStringLiteral("Орвинта");
}

namespace {

Dialogs *installedDialogs = nullptr;

} // namespace

Dialogs &dialogs()
{
    static QtDialogs realDialogs;
    return installedDialogs ? *installedDialogs : realDialogs;
}

void setDialogs(Dialogs *replacement)
{
    installedDialogs = replacement;
}

void QtDialogs::information(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, applicationTitle(), text, QMessageBox::Ok);
}

void QtDialogs::error(QWidget *parent, const QString &text)
{
    QMessageBox::critical(parent, applicationTitle(), text, QMessageBox::Ok);
}

bool QtDialogs::confirm(QWidget *parent, const QString &text)
{
    return QMessageBox::question(parent, applicationTitle(), text,
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

bool QtDialogs::dropUnsavedEdit(QWidget *parent, const QString &problem)
{
    QMessageBox box(QMessageBox::Warning, applicationTitle(),
                    QStringLiteral("Изменение в таблице не записано:\n%1\n\n"
                                   "Отменить это изменение и продолжить?")
                        .arg(problem),
                    QMessageBox::NoButton, parent);
    QPushButton *drop = box.addButton(QStringLiteral("Отменить изменение"), QMessageBox::AcceptRole);
    QPushButton *back = box.addButton(QStringLiteral("Вернуться к изменению"), QMessageBox::RejectRole);
    // Nothing is lost by a reflex press of Return or Escape.
    box.setDefaultButton(back);
    box.setEscapeButton(back);
    box.exec();
    return box.clickedButton() == drop;
}

QString QtDialogs::openFileName(QWidget *parent, const OpenFileRequest &request)
{
    QFileDialog dialog(parent, request.caption, request.directory, request.nameFilter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The user may type the name of a file that does not exist yet.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void QtDialogs::printerSetup(QWidget *parent, QPrinter *printer)
{
    QPrintDialog dialog(printer, parent);
    dialog.exec();
}

void QtDialogs::printPreview(QWidget *parent, QPrinter *printer,
                             const std::function<void(QPrinter *)> &paint)
{
    // Not modal: the other windows stay usable, but the caller waits for this preview.
    QPointer<QPrintPreviewDialog> preview = new QPrintPreviewDialog(printer, parent);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->setWindowModality(Qt::NonModal);
    preview->setWindowTitle(applicationTitle());
    if (const QScreen *screen = (parent ? parent->screen() : QGuiApplication::primaryScreen()))
        preview->resize(screen->availableSize() * 4 / 5);
    // Pages are painted from inside Qt's event handling, where no exception may pass.
    const auto painting = QObject::connect(preview, &QPrintPreviewDialog::paintRequested, preview,
                                           [&paint, window = preview.data()](QPrinter *pages) {
                                               guard(window, [&] { paint(pages); });
                                           });
    QEventLoop loop;
    QObject::connect(preview, &QDialog::finished, &loop, &QEventLoop::quit);
    QObject::connect(preview, &QObject::destroyed, &loop, &QEventLoop::quit);
    preview->show();
    if (preview)
        loop.exec();
    if (preview) {
        // The paint function dies with this call; a dialog still waiting for its deletion
        // must not ask it for pages again.
        QObject::disconnect(painting);
        preview->deleteLater();
    }
}
