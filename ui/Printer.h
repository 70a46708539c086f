#pragma once

#include <QString>
#include <memory>

class QPainter;
class QPrinter;
class QWidget;

// The one printer of the process: what the user set up in «Параметры печати». Nothing is
// printed on it directly but on a copy (PrintJob), so that a failed print can never leave it
// unusable for the next one.
QPrinter &currentPrinter();

// Gives a printer what the user chooses for one: destination, paper and page, copies,
// colour, duplex and page order.
void copyPrinterSettings(const QPrinter &from, QPrinter &to);

// A fresh printer with the settings of another, for one job with the given title.
std::unique_ptr<QPrinter> printerForJob(const QPrinter &settings, const QString &documentName);

// Where a print to a PDF file goes when no file was chosen: «Орвинта» in the user's documents.
QString defaultPrintFolder();
// "<caption> <dd.mm.yyyy>.pdf" in defaultPrintFolder() (made if need be), named so that no
// file is replaced.
QString defaultPrintFile(const QString &caption);
// The path when nothing is there yet, otherwise the first free "name (2).pdf", "name (3).pdf"…
// beside it.
QString unusedFileName(const QString &path);
// A file typed as "~/name.pdf" is meant under the home folder; Qt's print dialog stores it
// as a relative path there ("<home>/~/name.pdf").
QString withHomeExpanded(const QString &path);

// One print on a fresh printer that carries the settings of another. A print to a PDF file
// is sent to the default file when it has none, and to a new file beside an existing one
// rather than over it. Every failure throws std::runtime_error with a message for the user.
class PrintJob
{
public:
    // The caption names the default file; the document name is the job's title.
    PrintJob(const QPrinter &settings, const QString &documentName, const QString &caption);
    ~PrintJob();
    PrintJob(const PrintJob &) = delete;
    PrintJob &operator=(const PrintJob &) = delete;

    // Set the page up here before begin().
    QPrinter &printer() { return *m_printer; }
    // Starts the job on its first page.
    QPainter &begin();
    void newPage();
    // Ends the job: the file written, or empty when it went to a printer.
    QString finish();

private:
    [[noreturn]] void fail(const QString &what, const QString &reason = {}) const;

    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QPainter> m_painter;
};

// Prepares a printer that prints to a PDF file (and is about to be shown in a print dialog or
// used) in the way PrintJob does: the default file when it has none, never an existing file.
void settlePrintFile(QPrinter &printer, const QString &caption);

// After a print to a file: tells the user where it is (nothing for a printer).
void showPrintedFile(QWidget *parent, const QString &file);
