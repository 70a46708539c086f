#include "ui/Dialogs.h"

#include "core/FileSystem.h"
#include "ui/ErrorGuard.h"
#include "ui/PrintPreview.h"
#include "ui/Printer.h"
#include "ui/QuietFileIcons.h"

#include <QAbstractButton>
#include <QCompleter>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <utility>

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

Dialogs *setDialogs(Dialogs *replacement)
{
    return std::exchange(installedDialogs, replacement);
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
    QPushButton *drop =
        box.addButton(QStringLiteral("Отменить изменение"), QMessageBox::AcceptRole);
    QPushButton *back =
        box.addButton(QStringLiteral("Вернуться к изменению"), QMessageBox::RejectRole);
    // Nothing is lost by a reflex press of Return or Escape.
    box.setDefaultButton(back);
    box.setEscapeButton(back);
    box.exec();
    return box.clickedButton() == drop;
}

QString QtDialogs::openFileName(QWidget *parent, const OpenFileRequest &request)
{
    QFileDialog dialog(parent, request.caption, request.directory, request.nameFilter);
    dialog.setIconProvider(&QuietFileIcons::instance());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The user may type the name of a file that does not exist yet.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtDialogs::password(QWidget *parent, const QString &text)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(applicationTitle());
    dialog.setLabelText(text);
    dialog.setTextEchoMode(QLineEdit::Password);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QString QtDialogs::saveFileName(QWidget *parent, const OpenFileRequest &request)
{
    QFileDialog dialog(parent, request.caption, request.directory, request.nameFilter);
    dialog.setIconProvider(&QuietFileIcons::instance());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The dialog asks before it replaces a file.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    QString file = dialog.selectedFiles().constFirst();
    // A name typed without its extension gets the one of the chosen format.
    const QString filter = dialog.selectedNameFilter();
    const qsizetype star = filter.indexOf(QLatin1String("*."));
    if (QFileInfo(file).suffix().isEmpty() && star >= 0)
        file += filter.mid(star + 1, filter.indexOf(QLatin1Char(')'), star) - star - 1);
    return file;
}

namespace {

// Qt's print dialog whose output file is checked by the program's own rule before the dialog
// takes it, and whose completion of a typed path never looks into a file.
class PrintSetupDialog final : public QPrintDialog
{
public:
    PrintSetupDialog(QPrinter *printer, QWidget *parent) : QPrintDialog(printer, parent)
    {
        setWindowTitle(QStringLiteral("Параметры печати"));
        // The dialog stores the settings; it prints nothing, and its button says so.
        auto *buttons = findChild<QDialogButtonBox *>();
        QPushButton *ok = buttons ? buttons->button(QDialogButtonBox::Ok) : nullptr;
        if (ok)
            ok->setText(QStringLiteral("Сохранить параметры"));
        m_fileName = findChild<QLineEdit *>(QStringLiteral("filename"));
        if (!m_fileName)
            return;
        // Qt's completion of the file name looks into every file of a folder typed so far to
        // tell its type: in /proc that read never ends.
        auto *files = new QFileSystemModel(m_fileName);
        files->setIconProvider(&QuietFileIcons::instance());
        files->setRootPath(QString());
        auto *completer = new QCompleter(files, m_fileName);
        m_fileName->setCompleter(completer);
        // Qt's dialog would refuse a file typed as "~/…" as not writable: the home folder is
        // written out before the dialog checks the file.
        const auto expandHome = [this] {
            m_fileName->setText(withHomeExpanded(m_fileName->text()));
        };
        connect(m_fileName, &QLineEdit::editingFinished, m_fileName, expandHome);
        if (ok)
            connect(ok, &QPushButton::pressed, m_fileName, expandHome);
        // Its «…» opens a file dialog that looks into files too: ours takes its place.
        if (auto *button = findChild<QAbstractButton *>(QStringLiteral("fileBrowser"))) {
            disconnect(button, &QAbstractButton::clicked, nullptr, nullptr);
            connect(button, &QAbstractButton::clicked, this, [this] { browse(); });
        }
    }

    void accept() override
    {
        if (m_fileName && m_fileName->isEnabled() && m_fileName->isVisibleTo(this)) {
            const QString file = withHomeExpanded(m_fileName->text());
            m_fileName->setText(file);
            if (const QString problem = fileUseProblem(file, FileUse::Create);
                !file.isEmpty() && !problem.isEmpty()) {
                QMessageBox::warning(
                    this, windowTitle(),
                    QStringLiteral("В этот файл печатать нельзя: %1.").arg(problem));
                return;
            }
        }
        QPrintDialog::accept();
    }

private:
    void browse()
    {
        const QString file = QtDialogs().saveFileName(this, {QStringLiteral("Печать в файл"),
                                                             withHomeExpanded(m_fileName->text()),
                                                             QStringLiteral("PDF (*.pdf)")});
        if (!file.isEmpty())
            m_fileName->setText(QDir::toNativeSeparators(file));
    }

    QLineEdit *m_fileName = nullptr;
};

} // namespace

void QtDialogs::printerSetup(QWidget *parent, QPrinter *printer)
{
    // A PDF printer without a file shows the default file; confirmed unchanged it is not
    // stored, so that every print goes on naming its file after its own window.
    const bool proposing =
        printer->outputFormat() == QPrinter::PdfFormat && printer->outputFileName().isEmpty();
    if (proposing)
        printer->setOutputFileName(defaultPrintFile(applicationTitle()));
    const QString proposal = printer->outputFileName();

    PrintSetupDialog dialog(printer, parent);
    dialog.exec();

    if (printer->outputFormat() != QPrinter::PdfFormat)
        return;
    QString file = withHomeExpanded(printer->outputFileName());
    if (proposing && file == proposal)
        file.clear();
    // An empty file name turns QPrinter to the system printer; the PDF format is kept.
    printer->setOutputFileName(file);
    printer->setOutputFormat(QPrinter::PdfFormat);
}

void QtDialogs::printedToFile(QWidget *parent, const QString &file)
{
    QMessageBox box(QMessageBox::Information, applicationTitle(),
                    QStringLiteral("Напечатано в файл:\n%1").arg(QDir::toNativeSeparators(file)),
                    QMessageBox::Ok, parent);
    QPushButton *open = box.addButton(QStringLiteral("Открыть папку"), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    if (box.clickedButton() == open)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
}

bool QtDialogs::printPreview(QWidget *parent, QPrinter *printer, PreviewDocument &document)
{
    // Not modal: the other windows stay usable, but the caller waits for this preview.
    QPointer<PrintPreviewDialog> preview = new PrintPreviewDialog(document, *printer, parent);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->setWindowModality(Qt::NonModal);
    QEventLoop loop;
    bool printed = false;
    // The preview accepts itself once it has printed.
    QObject::connect(preview, &QDialog::finished, &loop, [&loop, &printed](int result) {
        printed = result == QDialog::Accepted;
        loop.quit();
    });
    QObject::connect(preview, &QObject::destroyed, &loop, &QEventLoop::quit);
    preview->show();
    if (preview)
        loop.exec();
    // A finished preview no longer touches the document, which dies with this call.
    if (preview)
        preview->deleteLater();
    return printed;
}
