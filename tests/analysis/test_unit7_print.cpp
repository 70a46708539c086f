#include "analysis/Unit7.h"

#include "tests/support/WindowFixture.h"
#include "ui/Printer.h"

#include <QComboBox>
#include <QLabel>
#include <QPieSeries>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

namespace {

// Page objects in a PDF file, or -1 when it cannot be read.
int pdfPageCount(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![s\\w])"));
    int pages = 0;
    for (auto match = page.globalMatch(QString::fromLatin1(file.readAll())); match.hasNext();
         match.next())
        ++pages;
    return pages;
}

} // namespace

class TestEffPrint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void printsOnePageOfTheChart();
    void printingFailureIsReported();

private:
    // A window with a pie of three slices over a fresh database.
    static Teff *windowWithPie(WindowFixture<Teff> &f)
    {
        TestDatabase &db = f.db;
        const QStringList names{QStringLiteral("Математика"), QStringLiteral("Физика"),
                                QStringLiteral("Информатика")};
        db.addNames(QStringLiteral("Дисциплины"), names);
        for (int i = 0; i < names.size(); ++i)
            db.addValue(names.at(i), QStringLiteral("Скорость"), QStringLiteral("Проектор"), i + 2);
        Teff *window = f.open();
        window->ComboBox1->setCurrentText(QStringLiteral("Скорость"));
        QTest::mouseClick(window->Button1, Qt::LeftButton);
        return window;
    }
};

void TestEffPrint::printsOnePageOfTheChart()
{
    WindowFixture<Teff> f;
    const Teff *window = windowWithPie(f);
    QCOMPARE(window->Series1->count(), 3);

    const QString pdf = QDir(f.db.folder()).filePath(QStringLiteral("диаграмма.pdf"));
    QPrinter &printer = currentPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    QTest::mouseClick(window->Button2, Qt::LeftButton);

    QVERIFY2(f.dialogs.errors().isEmpty(), qPrintable(f.dialogs.errors().join(u'\n')));
    QCOMPARE(f.dialogs.printedFiles(), QStringList{pdf});
    QCOMPARE(pdfPageCount(pdf), 1);
}

void TestEffPrint::printingFailureIsReported()
{
    WindowFixture<Teff> f;
    const Teff *window = windowWithPie(f);

    QPrinter &printer = currentPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QDir(f.db.folder()).filePath(QStringLiteral("нет/такой/папки.pdf")));
    QTest::mouseClick(window->Button2, Qt::LeftButton);

    QCOMPARE(f.dialogs.errors().size(), 1);
    QVERIFY(window->isVisible());
}

QTEST_MAIN(TestEffPrint)
#include "test_unit7_print.moc"
