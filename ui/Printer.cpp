#include "ui/Printer.h"

#include "core/Clock.h"
#include "core/FileSystem.h"
#include "ui/Dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QStandardPaths>
#include <stdexcept>

using namespace Qt::StringLiterals;

QPrinter &currentPrinter()
{
    // Lives to the very end of the process, past the application object, so that no print
    // support code runs from a static destructor.
    static QPrinter *const printer = new QPrinter(QPrinter::HighResolution);
    return *printer;
}

void copyPrinterSettings(const QPrinter &from, QPrinter &to)
{
    // A file name decides the format in QPrinter (an empty one means a printer), so the
    // destination is given in this order.
    to.setOutputFormat(from.outputFormat());
    if (from.outputFormat() == QPrinter::NativeFormat) {
        to.setPrinterName(from.printerName());
    } else {
        to.setOutputFileName(from.outputFileName());
        to.setOutputFormat(QPrinter::PdfFormat);
        to.setPdfVersion(from.pdfVersion());
    }
    to.setPageLayout(from.pageLayout());
    to.setCopyCount(from.copyCount());
    to.setCollateCopies(from.collateCopies());
    to.setColorMode(from.colorMode());
    to.setDuplex(from.duplex());
    to.setPageOrder(from.pageOrder());
    to.setFullPage(from.fullPage());
}

std::unique_ptr<QPrinter> printerForJob(const QPrinter &settings, const QString &documentName)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    copyPrinterSettings(settings, *printer);
    printer->setDocName(documentName);
    return printer;
}

QString defaultPrintFolder()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    return QDir(documents).filePath(u"Орвинта"_s);
}

namespace {

// A caption as a file's base name: no characters a file name cannot hold, and no dots or
// spaces at its end (which would give "Физика..pdf").
QString fileBaseName(const QString &caption)
{
    QString name = caption;
    name.replace(u'/', u'-');
    name.replace(QChar(0), u' ');
    name = name.simplified();
    while (name.endsWith(u'.') || name.endsWith(u' '))
        name.chop(1);
    return name.isEmpty() ? u"Печать"_s : name;
}

} // namespace

QString defaultPrintFile(const QString &caption)
{
    const QString date = currentDateTime().date().toString(u"dd.MM.yyyy"_s);
    const QString name = u"%1 %2.pdf"_s.arg(fileBaseName(caption), date);
    // The folder is made here: a print dialog refuses a file in a folder that is not there.
    const QDir folder(defaultPrintFolder());
    folder.mkpath(u"."_s);
    return unusedFileName(folder.filePath(name));
}

QString unusedFileName(const QString &path)
{
    if (!QFileInfo::exists(path))
        return path;
    const QFileInfo file(path);
    const QString suffix = file.suffix().isEmpty() ? QString() : u"."_s + file.suffix();
    const QString base = file.absolutePath() + u'/' + file.completeBaseName();
    for (int number = 2;; ++number) {
        const QString candidate = u"%1 (%2)%3"_s.arg(base).arg(number).arg(suffix);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

QString withHomeExpanded(const QString &path)
{
    const QString home = QDir::homePath();
    if (path == u"~"_s)
        return home;
    if (path.startsWith(u"~/"_s))
        return home + path.mid(1);
    const QString storedRelative = home + u"/~/"_s;
    if (path.startsWith(storedRelative))
        return home + path.mid(storedRelative.size() - 1);
    return path;
}

void settlePrintFile(QPrinter &printer, const QString &caption)
{
    if (printer.outputFormat() != QPrinter::PdfFormat)
        return;
    const QString chosen = withHomeExpanded(printer.outputFileName());
    printer.setOutputFileName(chosen.isEmpty() ? defaultPrintFile(caption)
                                               : unusedFileName(chosen));
}

PrintJob::PrintJob(const QPrinter &settings, const QString &documentName, const QString &caption)
    : m_printer(printerForJob(settings, documentName))
{
    settlePrintFile(*m_printer, caption);
}

PrintJob::~PrintJob()
{
    if (m_painter && m_painter->isActive()) {
        m_printer->abort();
        m_painter->end();
    }
}

void PrintJob::fail(const QString &what, const QString &reason) const
{
    const QString target =
        m_printer->outputFormat() == QPrinter::PdfFormat
            ? u"в файл «%1»"_s.arg(QDir::toNativeSeparators(m_printer->outputFileName()))
            : u"на принтер «%1»"_s.arg(m_printer->printerName());
    const QString message = u"%1 %2"_s.arg(what, target);
    throw std::runtime_error(
        (reason.isEmpty() ? message : message + u": "_s + reason).toStdString());
}

QPainter &PrintJob::begin()
{
    if (!m_printer->isValid())
        throw std::runtime_error(
            "Не выбран принтер для печати: выберите его в «Параметрах печати»");
    if (m_printer->outputFormat() == QPrinter::PdfFormat) {
        const QString file = m_printer->outputFileName();
        if (const QString obstacle = fileUseProblem(file, FileUse::Create); !obstacle.isEmpty())
            fail(u"Не удалось начать печать"_s, obstacle);
    }
    m_painter = std::make_unique<QPainter>();
    if (!m_painter->begin(m_printer.get()))
        fail(u"Не удалось начать печать"_s);
    return *m_painter;
}

void PrintJob::newPage()
{
    if (!m_printer->newPage() || m_printer->printerState() == QPrinter::Error)
        fail(u"Не удалось начать новую страницу при печати"_s);
}

QString PrintJob::finish()
{
    if (m_printer->printerState() == QPrinter::Error)
        fail(u"Ошибка печати"_s);
    if (!m_painter->end())
        fail(u"Не удалось завершить печать"_s);
    return m_printer->outputFormat() == QPrinter::PdfFormat ? m_printer->outputFileName()
                                                            : QString();
}

void showPrintedFile(QWidget *parent, const QString &file)
{
    if (!file.isEmpty())
        dialogs().printedToFile(parent, file);
}
