#include "analysis/ChartImage.h"
#include "analysis/ChartPrint.h"
#include "analysis/Unit4.h"
#include "analysis/Unit7.h"

#include "tests/support/FakeDialogs.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/WindowFixture.h"
#include "ui/Printer.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QGraphicsLayout>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QString runTool(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// What the poppler tools read in a PDF file: its page count, its title and its first page.
struct PdfContents
{
    int pages = 0;
    QString title;
    QImage firstPage;

    explicit PdfContents(const QString &file)
    {
        const QString info = runTool(u"pdfinfo"_s, {file});
        const auto field = [&info](const QString &name) {
            return QRegularExpression(u"^%1:\\s+(.*)$"_s.arg(name),
                                      QRegularExpression::MultilineOption)
                .match(info)
                .captured(1)
                .trimmed();
        };
        pages = field(u"Pages"_s).toInt();
        title = field(u"Title"_s);
        runTool(u"pdftoppm"_s,
                {u"-r"_s, u"50"_s, u"-png"_s, u"-f"_s, u"1"_s, u"-singlefile"_s, file, file});
        firstPage.load(file + u".png"_s);
    }

    // The smallest rectangle holding every pixel that is not (almost) white, as fractions
    // of the sheet.
    QRectF inkedShare() const
    {
        const QImage image = firstPage.convertToFormat(QImage::Format_RGB32);
        QRect inked;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qRed(pixel) < 235 || qGreen(pixel) < 235 || qBlue(pixel) < 235)
                    inked |= QRect(x, y, 1, 1);
            }
        }
        return QRectF(double(inked.left()) / image.width(), double(inked.top()) / image.height(),
                      double(inked.width()) / image.width(),
                      double(inked.height()) / image.height());
    }
};

// The printable area less 15 % of its width and height on every side, as fractions of the sheet.
QRectF marginBox(const QPrinter &printer)
{
    const QRectF paper = printer.paperRect(QPrinter::Point);
    const QRectF page = printer.pageRect(QPrinter::Point);
    const QRectF box = page.adjusted(0.15 * page.width(), 0.15 * page.height(),
                                     -0.15 * page.width(), -0.15 * page.height());
    return QRectF(box.left() / paper.width(), box.top() / paper.height(),
                  box.width() / paper.width(), box.height() / paper.height());
}

bool sameArea(const QRectF &actual, const QRectF &expected)
{
    const auto near = [](double a, double b) { return std::abs(a - b) < 0.01; };
    return near(actual.left(), expected.left()) && near(actual.top(), expected.top()) &&
           near(actual.right(), expected.right()) && near(actual.bottom(), expected.bottom());
}

// How far the saved picture, scaled down to the view's size, strays from what the view shows:
// the largest mean difference of a colour channel over the four quarters (0 to 255). A
// picture of only a part of the chart, or drawn at another scale, differs in every quarter.
double strayFromView(const QImage &saved, QChartView &view)
{
    const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage scaled =
        saved.scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    double worst = 0;
    const int halfWidth = shown.width() / 2, halfHeight = shown.height() / 2;
    for (const QPoint corner : {QPoint(0, 0), QPoint(halfWidth, 0), QPoint(0, halfHeight),
                                QPoint(halfWidth, halfHeight)}) {
        double sum = 0;
        for (int y = corner.y(); y < corner.y() + halfHeight; ++y) {
            for (int x = corner.x(); x < corner.x() + halfWidth; ++x) {
                const QRgb a = shown.pixel(x, y), b = scaled.pixel(x, y);
                sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                       std::abs(qBlue(a) - qBlue(b));
            }
        }
        worst = std::max(worst, sum / (3.0 * halfWidth * halfHeight));
    }
    return worst;
}

// Saves the view's chart through its context menu, opened from the keyboard's menu key (a
// right click zooms out on the line chart).
void saveThroughMenu(QChartView &view)
{
    QTimer::singleShot(0, [] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        menu->actions().constFirst()->trigger();
        menu->close();
    });
    QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(10, 10),
                              view.mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(&view, &request);
}

QByteArray describe(const QRectF &actual, const QRectF &expected)
{
    QString text;
    QDebug(&text) << actual << "expected" << expected;
    return text.toUtf8();
}

} // namespace

class TestChartPrint : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString pdfPath() const { return m_dir->filePath(u"chart.pdf"_s); }
    // The process-wide printer, writing a portrait PDF into the given file.
    QPrinter &pdfPrinter(const QString &file);

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void chartLiesWithinFifteenPercentMargins_data();
    void chartLiesWithinFifteenPercentMargins();
    void windowPrintsOneLandscapePageAndRestoresPortrait();
    void failedWindowPrintShowsErrorAndRestoresPortrait();
    void savedChartImageIsTheWholeChart();
    void savedPieImageIsTheWholePie();
};

void TestChartPrint::initTestCase()
{
    if (QStandardPaths::findExecutable(u"pdftoppm"_s).isEmpty() ||
        QStandardPaths::findExecutable(u"pdfinfo"_s).isEmpty())
        QSKIP("poppler-utils (pdftoppm, pdfinfo) are needed to look at the printed pages");
}

void TestChartPrint::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestChartPrint::cleanup()
{
    currentPrinter().setOutputFileName(QString());
    m_dir.reset();
}

QPrinter &TestChartPrint::pdfPrinter(const QString &file)
{
    QPrinter &printer = currentPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPageOrientation(QPageLayout::Portrait);
    return printer;
}

void TestChartPrint::chartLiesWithinFifteenPercentMargins_data()
{
    QTest::addColumn<ChartPageFit>("fit");
    QTest::newRow("stretched") << ChartPageFit::Stretch;
    QTest::newRow("proportional") << ChartPageFit::KeepProportions;
}

void TestChartPrint::chartLiesWithinFifteenPercentMargins()
{
    QFETCH(ChartPageFit, fit);
    // A chart twice as wide as high whose plot area fills it and is dark, so that its extent
    // shows (the panel around a plot area is left off on paper).
    auto *chart = new QChart;
    chart->setPlotAreaBackgroundBrush(QColor(0, 0, 128));
    chart->setPlotAreaBackgroundVisible(true);
    chart->setMargins(QMargins());
    chart->legend()->hide();
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    auto *series = new QLineSeries;
    series->append({QPointF(1, 4), QPointF(2, 5), QPointF(3, 3)});
    chart->addSeries(series);
    QChartView view(chart);
    view.resize(600, 300);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    QCoreApplication::processEvents();

    QPrinter &printer = pdfPrinter(pdfPath());
    PrintJob job(printer, chartDocumentName(), u"Диаграмма"_s);
    QCOMPARE(printChart(*chart, job, fit), pdfPath());

    const PdfContents pdf(pdfPath());
    QCOMPARE(pdf.pages, 1);
    QCOMPARE(pdf.title, u"Chart1"_s);
    QRectF expected = marginBox(printer);
    if (fit == ChartPageFit::KeepProportions) {
        // The full width between the side margins, half as high, centred vertically.
        const double height = expected.width() * pdf.firstPage.width() / pdf.firstPage.height() / 2;
        expected =
            QRectF(expected.left(), expected.center().y() - height / 2, expected.width(), height);
    }
    QVERIFY2(sameArea(pdf.inkedShare(), expected), describe(pdf.inkedShare(), expected));
}

void TestChartPrint::windowPrintsOneLandscapePageAndRestoresPortrait()
{
    WindowFixture<Tanaliz> f;
    TestDatabase &db = f.db;
    db.addValue(u"Физика"_s, u"Скорость"_s, u"Проектор"_s, 4.0);
    db.addValue(u"Физика"_s, u"Скорость"_s, u"Проектор"_s, 5.0);
    FakeDialogs &dialogs = f.dialogs;
    QPrinter &printer = pdfPrinter(pdfPath());

    Tanaliz &window = *f.open();

    window.ComboBox1->setEditText(u"Физика"_s);
    window.ComboBox2->setEditText(u"Скорость"_s);
    window.ComboBox3->setEditText(u"Проектор"_s);
    window.Button1->click();
    QCOMPARE(window.Series1->count(), 2);
    window.Button2->click();

    QVERIFY2(dialogs.errors().isEmpty(), qPrintable(dialogs.errors().join(u'\n')));
    QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Portrait);
    const PdfContents pdf(pdfPath());
    QCOMPARE(pdf.pages, 1);
    QCOMPARE(pdf.title, u"Chart1"_s);
    QVERIFY(pdf.firstPage.width() > pdf.firstPage.height());

    // Title, axes and lines lie within the margins and, stretched, fill most of the room; the
    // legend goes in the margin under them.
    printer.setPageOrientation(QPageLayout::Landscape);
    const QRectF box = marginBox(printer);
    printer.setPageOrientation(QPageLayout::Portrait);
    const QRectF inked = pdf.inkedShare();
    const QRectF within = box.adjusted(-0.005, -0.005, 0.005, 0.005);
    QVERIFY2(within.left() <= inked.left() && inked.right() <= within.right() &&
                 within.top() <= inked.top() && inked.bottom() < 0.95,
             describe(inked, box));
    QVERIFY2(inked.width() > 0.75 * box.width() && inked.height() > 0.75 * box.height(),
             describe(inked, box));
}

void TestChartPrint::failedWindowPrintShowsErrorAndRestoresPortrait()
{
    FakeDialogs dialogs;
    QPrinter &printer = pdfPrinter(m_dir->filePath(u"нет такой папки/chart.pdf"_s));

    Tanaliz window;
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.show();
    window.Button2->click();

    QCOMPARE(dialogs.errors().size(), 1);
    QVERIFY2(dialogs.errors().constFirst().startsWith(u"Не удалось начать печать"_s),
             qPrintable(dialogs.errors().constFirst()));
    QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Portrait);
}

void TestChartPrint::savedChartImageIsTheWholeChart()
{
    WindowFixture<Tanaliz> f;
    f.db.addValue(u"Физика"_s, u"Скорость"_s, u"Проектор"_s, 4.0);
    f.db.addValue(u"Физика"_s, u"Скорость"_s, u"Проектор"_s, 5.0);
    Tanaliz &window = *f.open();
    window.ComboBox1->setEditText(u"Физика"_s);
    window.ComboBox2->setEditText(u"Скорость"_s);
    window.ComboBox3->setEditText(u"Проектор"_s);
    window.Button1->click();

    QTemporaryDir folder;
    f.dialogs.fileToSave = folder.filePath(u"график.png"_s);
    saveThroughMenu(*window.Chart1);
    QVERIFY2(f.dialogs.errors().isEmpty(), qPrintable(f.dialogs.errors().join(u'\n')));
    const QImage png(f.dialogs.fileToSave);
    QCOMPARE(png.size(), window.Chart1->size() * ChartImageScale);
    QVERIFY2(strayFromView(png, *window.Chart1) < 3,
             qPrintable(QString::number(strayFromView(png, *window.Chart1))));

    const QString svgPath = folder.filePath(u"график.svg"_s);
    saveChartImage(*window.Chart1, svgPath);
    QFile svg(svgPath);
    QVERIFY(svg.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(svg.readAll());
    QVERIFY(
        text.contains(u"width=\"%1"_s.arg(window.Chart1->width() * 25.4 / 96, 0, 'f', 0)) ||
        text.contains(
            u"viewBox=\"0 0 %1 %2\""_s.arg(window.Chart1->width()).arg(window.Chart1->height())));
    QVERIFY(text.contains(u"<path"_s) || text.contains(u"<polyline"_s));
}

void TestChartPrint::savedPieImageIsTheWholePie()
{
    WindowFixture<Teff> f;
    const QStringList names{u"Математика"_s, u"Физика"_s, u"Информатика"_s, u"История"_s};
    f.db.addNames(u"Дисциплины"_s, names);
    for (int i = 0; i < names.size(); ++i)
        f.db.addValue(names.at(i), u"Скорость"_s, u"Проектор"_s, i + 2);
    Teff &window = *f.open();
    window.ComboBox1->setCurrentText(u"Скорость"_s);
    window.Button1->click();

    QTemporaryDir folder;
    f.dialogs.fileToSave = folder.filePath(u"диаграмма.png"_s);
    saveThroughMenu(*window.Chart1);
    const QImage png(f.dialogs.fileToSave);
    QCOMPARE(png.size(), window.Chart1->size() * ChartImageScale);
    QVERIFY2(strayFromView(png, *window.Chart1) < 3,
             qPrintable(QString::number(strayFromView(png, *window.Chart1))));
}

QTEST_MAIN(TestChartPrint)
#include "test_chartprint.moc"
