// What lands on paper: a line chart of two selections, a pie of many disciplines of which
// several are tiny, and a report whose columns are far wider than the page. Read back from
// the PDF with poppler. ORVINTA_PRINTOUTS=<folder> keeps the files there (for the README).
#include "analysis/Unit4.h"
#include "analysis/Unit7.h"
#include "core/FormatSettings.h"
#include "db/RecordSet.h"
#include "report/Report.h"
#include "report/UnitReport.h"
#include "tests/report/ReportFixture.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/WindowFixture.h"
#include "ui/Printer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPieSeries>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A word that poppler found on a page, with its box in points.
struct PdfWord
{
    QString text;
    QRectF box;
};

// The words of the first page, read by pdftotext -bbox.
QList<PdfWord> firstPageWords(const QString &pdf)
{
    QProcess reader;
    reader.start(u"pdftotext"_s, {u"-bbox"_s, u"-f"_s, u"1"_s, u"-l"_s, u"1"_s, pdf, u"-"_s});
    reader.waitForFinished(30000);
    static const QRegularExpression word(
        uR"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"_s);
    QList<PdfWord> words;
    const QString html = QString::fromUtf8(reader.readAllStandardOutput());
    for (auto match = word.globalMatch(html); match.hasNext();) {
        const auto m = match.next();
        const QPointF topLeft(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF bottomRight(m.captured(3).toDouble(), m.captured(4).toDouble());
        words.append({m.captured(5), QRectF(topLeft, bottomRight)});
    }
    return words;
}

QString pageText(const QList<PdfWord> &words)
{
    QStringList texts;
    for (const PdfWord &word : words)
        texts.append(word.text);
    return texts.join(u' ');
}

} // namespace

class TestPrintouts : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_scratch;
    QString m_folder;
    std::unique_ptr<FakeDialogs> m_dialogs;

    // Sends the next print to the file of that name and returns its path.
    QString printTo(const QString &name)
    {
        const QString path = QDir(m_folder).filePath(name);
        QFile::remove(path);
        QPrinter &printer = currentPrinter();
        printer.setOutputFileName(path);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(QPageLayout::Portrait);
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (pdfReaderMissing())
            QSKIP("pdftotext is needed to read the printouts back");
        m_folder = qEnvironmentVariable("ORVINTA_PRINTOUTS", m_scratch.path());
        QDir().mkpath(m_folder);
        FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
        m_dialogs = std::make_unique<FakeDialogs>();
        m_dialogs->previewPrinted = true;
    }
    void cleanupTestCase()
    {
        m_dialogs.reset();
        currentPrinter().setOutputFileName({});
    }
    void lineChartNamesItsSelectionsAndScales();
    void pieLabelsEverySliceWithoutOverlap();
    void wideReportPrintsEveryColumn();
};

void TestPrintouts::lineChartNamesItsSelectionsAndScales()
{
    WindowFixture<Tanaliz> f;
    TestDatabase &db = f.db;
    const double first[] = {4, 5, 3, 4.5, 5, 4, 3.5, 5};
    const double second[] = {3, 3.5, 4, 4, 4.5};
    for (const double value : first)
        db.addValue(u"Физика"_s, u"Понятность"_s, u"Проектор"_s, value);
    for (const double value : second)
        db.addValue(u"Химия"_s, u"Понятность"_s, u"Интерактивная доска"_s, value);

    Tanaliz &window = *f.open();
    window.resize(1000, 700);
    window.ComboBox1->setEditText(u"Физика"_s);
    window.ComboBox2->setEditText(u"Понятность"_s);
    window.ComboBox3->setEditText(u"Проектор"_s);
    window.CheckBox1->click();
    window.ComboBox4->setEditText(u"Химия"_s);
    window.ComboBox5->setEditText(u"Понятность"_s);
    window.ComboBox6->setEditText(u"Интерактивная доска"_s);
    window.Button1->click();
    const QString pdf = printTo(u"line-chart.pdf"_s);
    window.Button2->click();
    QCOMPARE(f.dialogs.errors(), QStringList());

    const QList<PdfWord> words = firstPageWords(pdf);
    const QString text = pageText(words);
    for (const QString &name : {u"«Физика»,"_s, u"«Химия»,"_s, u"«Проектор»"_s, u"«Интерактивная"_s,
                                u"доска»"_s, u"Графики"_s, u"4,5"_s})
        QVERIFY2(text.contains(name), qPrintable(name + u" not in: "_s + text));
    // The value axis is labelled up to its top: the highest number on the page is the
    // greatest value, and the positions run to the last one.
    const PdfWord *highest = nullptr;
    for (const PdfWord &word : words) {
        bool number = false;
        word.text.toInt(&number);
        if (number && (!highest || word.box.top() < highest->box.top()))
            highest = &word;
    }
    QVERIFY(highest);
    QCOMPARE(highest->text, u"5"_s);
    QVERIFY2(text.contains(u"1 2 3 4 5 6 7 8"_s), qPrintable(text));
}

void TestPrintouts::pieLabelsEverySliceWithoutOverlap()
{
    WindowFixture<Teff> f;
    TestDatabase &db = f.db;
    const QStringList names{u"Математика"_s, u"Физика"_s,      u"Химия"_s,      u"Биология"_s,
                            u"История"_s,    u"География"_s,   u"Литература"_s, u"Русский язык"_s,
                            u"Английский"_s, u"Информатика"_s, u"Музыка"_s,     u"ИЗО"_s,
                            u"Технология"_s, u"ОБЖ"_s,         u"Физкультура"_s};
    db.addNames(u"Дисциплины"_s, names);
    // Large means for the first few, tiny ones for neighbours at the end.
    const double means[] = {40, 35, 30, 25, 20, 18, 15, 12, 10, 8, 0.4, 0.3, 0.2, 0.15, 0.1};
    for (int i = 0; i < names.size(); ++i)
        db.addValue(names.at(i), u"Понятность"_s, u"Проектор"_s, means[i]);

    Teff &window = *f.open();
    window.resize(1000, 700);
    window.ComboBox1->setEditText(u"Понятность"_s);
    window.Button1->click();
    QCOMPARE(window.Series1->count(), 15);
    const QString pdf = printTo(u"pie.pdf"_s);
    window.Button2->click();
    QCOMPARE(f.dialogs.errors(), QStringList());

    const QList<PdfWord> words = firstPageWords(pdf);
    const QString text = pageText(words);
    for (const QString &name : {u"Математика"_s, u"Физкультура"_s, u"ОБЖ"_s, u"ИЗО"_s})
        QVERIFY2(text.contains(name), qPrintable(name + u" not in: "_s + text));
    QVERIFY2(text.contains(u"0,15"_s) || text.contains(u"0.15"_s), qPrintable(text));
    for (int i = 0; i < words.size(); ++i) {
        for (int j = i + 1; j < words.size(); ++j) {
            const QRectF overlap = words.at(i).box.intersected(words.at(j).box);
            QVERIFY2(overlap.width() < 0.5 || overlap.height() < 0.5,
                     qPrintable(words.at(i).text + u" overlaps "_s + words.at(j).text));
        }
    }
}

void TestPrintouts::wideReportPrintsEveryColumn()
{
    QStringList columns;
    for (int c = 1; c <= 12; ++c)
        columns.append(u"Столбец%1 %2"_s.arg(c).arg(c == 12 ? u"REAL"_s : u"TEXT"_s));
    ReportFixture fixture(columns.join(u", "_s));
    fixture.addRows(40, [](int row) {
        QVariantList values;
        for (int c = 1; c <= 12; ++c)
            values.append(
                c == 12 ? QVariant(row * 1.25)
                        : QVariant(u"текст %1 в строке %2 длиной побольше"_s.arg(c).arg(row)));
        return values;
    });
    const auto records = fixture.open();
    QList<GridColumn> grid;
    for (int c = 1; c <= 12; ++c)
        grid.append({u"Столбец%1"_s.arg(c), 160, c == 12 ? Qt::AlignRight : Qt::AlignLeft, {}});

    const QString pdf = printTo(u"wide-report.pdf"_s);
    buildGridReport(*records, grid, u"Широкий отчёт"_s)->preview(nullptr);
    QCOMPARE(m_dialogs->errors(), QStringList());

    const QString firstPage = pdfPageTexts(pdf).value(0);
    for (int c = 1; c <= 12; ++c)
        QVERIFY2(firstPage.contains(u"Столбец%1"_s.arg(c)), qPrintable(u"Столбец%1"_s.arg(c)));
}

QTEST_MAIN(TestPrintouts)
#include "test_printouts.moc"
