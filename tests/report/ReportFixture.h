#pragma once

#include "tests/support/TestDatabase.h"
#include "ui/Dialogs.h"

#include <QPageLayout>
#include <QVariantList>
#include <functional>
#include <memory>

class QueryRecordSet;

// A temporary database with one table "Строки" of the given columns, and record sets over it.
class ReportFixture
{
public:
    explicit ReportFixture(const QString &columns);

    // Appends rows; row(i) gives the values of the i-th one.
    void addRows(int count, const std::function<QVariantList(int)> &row);
    // An open record set over the statement (all rows of the table by default).
    std::unique_ptr<QueryRecordSet>
    open(const QString &statement = QStringLiteral("SELECT * FROM Строки"));

    TestDatabase db; // with the four tables, or the layer will not open it
};

// Dialogs whose preview hands its paint function to the test, to paint where it likes; every
// other box is recorded or answered with nothing. Installed while it lives.
class PaintingDialogs final : public Dialogs
{
public:
    using Paint = std::function<void(QPrinter *)>;

    PaintingDialogs();
    ~PaintingDialogs() override;

    std::function<void(const Paint &paint)> onPreview;
    int previews = 0;
    QStringList errors;

    void information(QWidget *, const QString &) override {}
    void error(QWidget *, const QString &text) override { errors.append(text); }
    bool confirm(QWidget *, const QString &) override { return false; }
    bool dropUnsavedEdit(QWidget *, const QString &) override { return false; }
    QString openFileName(QWidget *, const OpenFileRequest &) override { return {}; }
    std::optional<QString> password(QWidget *, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const OpenFileRequest &) override { return {}; }
    void printerSetup(QWidget *, QPrinter *) override {}
    bool printPreview(QWidget *parent, QPrinter *printer, PreviewDocument &document) override;
    void printedToFile(QWidget *, const QString &) override {}
};

// Paints into a PDF file on the given page (the process' printer's by default).
void paintToPdf(const PaintingDialogs::Paint &paint, const QString &path);
void paintToPdf(const PaintingDialogs::Paint &paint, const QString &path, const QPageLayout &page);

// The text of each page of a PDF file, read by pdftotext; pdfReaderMissing() says whether it
// can be run at all.
QStringList pdfPageTexts(const QString &path);
bool pdfReaderMissing();
