#include "tests/report/ReportFixture.h"

#include "db/RecordSet.h"
#include "db/Sqlite.h"
#include "ui/PrintPreview.h"
#include "ui/Printer.h"

#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>

ReportFixture::ReportFixture(const QString &columns)
{
    db.exec(QStringLiteral("CREATE TABLE Строки (%1)").arg(columns));
}

void ReportFixture::addRows(int count, const std::function<QVariantList(int)> &row)
{
    SqliteDatabase file(db.path(), SqliteDatabase::OpenMode::ReadWrite);
    file.exec(QStringLiteral("BEGIN"));
    std::unique_ptr<SqliteStatement> insert;
    for (int i = 0; i < count; ++i) {
        const QVariantList values = row(i);
        if (!insert) {
            QStringList marks;
            for (int v = 1; v <= values.size(); ++v)
                marks.append(QStringLiteral("?%1").arg(v));
            insert = std::make_unique<SqliteStatement>(
                file, QStringLiteral("INSERT INTO Строки VALUES (%1)").arg(marks.join(u',')));
        }
        insert->reset();
        for (int v = 0; v < values.size(); ++v)
            insert->bind(v + 1, values.at(v));
        insert->step();
    }
    insert.reset();
    file.exec(QStringLiteral("COMMIT"));
}

std::unique_ptr<QueryRecordSet> ReportFixture::open(const QString &statement)
{
    auto records = std::make_unique<QueryRecordSet>();
    records->setConnectionString(db.connection());
    records->setCommandText(statement);
    records->open();
    return records;
}

PaintingDialogs::PaintingDialogs()
{
    setDialogs(this);
}

PaintingDialogs::~PaintingDialogs()
{
    setDialogs(nullptr);
}

bool PaintingDialogs::printPreview(QWidget *, QPrinter *, PreviewDocument &document)
{
    ++previews;
    if (onPreview)
        onPreview([&document](QPrinter *printer) { document.print(printer); });
    return false;
}

void paintToPdf(const PaintingDialogs::Paint &paint, const QString &path)
{
    paintToPdf(paint, path, currentPrinter().pageLayout());
}

void paintToPdf(const PaintingDialogs::Paint &paint, const QString &path, const QPageLayout &page)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageLayout(page);
    paint(&printer);
}

bool pdfReaderMissing()
{
    return QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

QStringList pdfPageTexts(const QString &path)
{
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"),
                 {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!reader.waitForFinished(30000) || reader.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(reader.readAllStandardOutput()).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast(); // after the last page's form feed
    return pages;
}
