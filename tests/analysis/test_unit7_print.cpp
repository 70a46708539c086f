#include "analysis/Unit7.h"

#include "tests/support/WindowFixture.h"
#include "ui/Printer.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPieSeries>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

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
    void longNamesStayWholeOnScreenAndOnPaper();
    void cleanup() { currentPrinter().setPageOrientation(QPageLayout::Portrait); }

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

void TestEffPrint::longNamesStayWholeOnScreenAndOnPaper()
{
    WindowFixture<Teff> f;
    // Nineteen long names on both sides of the pie, and slices of many sizes.
    QStringList names;
    for (int i = 1; i <= 19; ++i)
        names.append(
            (i % 2 ? u"Изобразительное искусство и черчение %1"_s : u"Физическая культура %1"_s)
                .arg(i));
    f.db.addNames(u"Дисциплины"_s, names);
    for (int i = 0; i < names.size(); ++i)
        f.db.addValue(names.at(i), u"Скорость"_s, u"Проектор"_s, 2.5 + (i * 7) % 5);
    Teff *window = f.open();
    window->ComboBox1->setCurrentText(u"Скорость"_s);
    QTest::mouseClick(window->Button1, Qt::LeftButton);
    QCOMPARE(window->Series1->count(), 19);

    // On screen (and so in a saved picture, which is the same scene): every mark lies within
    // the chart; where a name had to be shortened, its value and share are whole.
    const QRectF chart = window->Chart1->chart()->rect();
    const QList<QRectF> rects = window->markRects();
    QCOMPARE(rects.size(), 19);
    for (const QRectF &rect : rects)
        QVERIFY2(
            chart.contains(rect),
            qPrintable(
                u"%1,%2 %3×%4"_s.arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height())));
    const QStringList whole = window->marks();
    const QStringList shown = window->shownMarks();
    for (qsizetype i = 0; i < whole.size(); ++i) {
        const QString detail = whole.at(i).section(u": "_s, 1);
        QVERIFY2(shown.at(i) == whole.at(i) ||
                     (shown.at(i).contains(u"…"_s) && shown.at(i).endsWith(u": "_s + detail)),
                 qPrintable(shown.at(i)));
    }

    // On paper: a landscape page whose marks lie inside the printed chart, not cut at its edge,
    // with the criterion named under the pie.
    QPrinter &printer = currentPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = QDir(f.db.folder()).filePath(u"диаграмма.pdf"_s);
    printer.setOutputFileName(pdf);
    printer.setPageOrientation(QPageLayout::Landscape);
    QTest::mouseClick(window->Button2, Qt::LeftButton);
    QVERIFY2(f.dialogs.errors().isEmpty(), qPrintable(f.dialogs.errors().join(u'\n')));
    QProcess::execute(u"pdftoppm"_s, {u"-r"_s, u"60"_s, u"-png"_s, u"-singlefile"_s, pdf, pdf});
    const QImage page = QImage(pdf + u".png"_s).convertToFormat(QImage::Format_RGB32);
    QVERIFY(page.width() > page.height());
    QRect yellow;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QRgb pixel = page.pixel(x, y);
            if (qRed(pixel) > 220 && qGreen(pixel) > 220 && qBlue(pixel) < 80)
                yellow |= QRect(x, y, 1, 1);
        }
    }
    // Where the chart is printed: laid out in the page's proportions, it fills the page
    // within 15 % margins.
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF printable = printer.pageRect(QPrinter::DevicePixel);
    const qreal scale = page.width() / paper.width();
    const QRectF target = QRectF(printable.left() + printable.width() * 0.15,
                                 printable.top() + printable.height() * 0.15,
                                 printable.width() * 0.7, printable.height() * 0.7)
                              .adjusted(-1, -1, 1, 1);
    const QRectF scaled(target.topLeft() * scale, target.size() * scale);
    QVERIFY(!yellow.isEmpty());
    QVERIFY2(scaled.adjusted(2, 2, -2, -2).contains(QRectF(yellow)),
             qPrintable(u"marks %1,%2 %3×%4 in the chart %5,%6 %7×%8"_s.arg(yellow.x())
                            .arg(yellow.y())
                            .arg(yellow.width())
                            .arg(yellow.height())
                            .arg(scaled.x())
                            .arg(scaled.y())
                            .arg(scaled.width())
                            .arg(scaled.height())));
    // The pie fills the page: its marks reach across most of the printed chart.
    QVERIFY(yellow.width() > scaled.width() * 0.7);
    QProcess text;
    text.start(u"pdftotext"_s, {pdf, u"-"_s});
    QVERIFY(text.waitForFinished(30000));
    QVERIFY(QString::fromUtf8(text.readAllStandardOutput()).contains(u"Критерий: Скорость"_s));
}

QTEST_MAIN(TestEffPrint)
#include "test_unit7_print.moc"
