#include "Dialogs.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPointer>

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
    QObject::connect(preview, &QPrintPreviewDialog::paintRequested, preview,
                     [&paint](QPrinter *target) { paint(target); });
    QEventLoop loop;
    QObject::connect(preview, &QDialog::finished, &loop, &QEventLoop::quit);
    QObject::connect(preview, &QObject::destroyed, &loop, &QEventLoop::quit);
    preview->show();
    if (preview)
        loop.exec();
}
