#include "analysis/LineDecimation.h"
#include "analysis/Unit4.h"
#include "core/ValueConversion.h"

#include "core/FormatSettings.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/WindowFixture.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QMap>
#include <QPushButton>
#include <QValueAxis>
#include <QtTest>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

const QString Physics = u"Физика"_s;
const QString Chemistry = u"Химия"_s;
const QString Speed = u"Скорость"_s;
const QString Accuracy = u"Точность"_s;
const QString Projector = u"Проектор"_s;
const QString Board = u"Доска"_s;

// The points of a line through the values at positions 1, 2, 3 …
QList<QPointF> line(const QList<double> &values)
{
    QList<QPointF> points;
    for (qsizetype k = 0; k < values.size(); ++k)
        points.append(QPointF(double(k + 1), values.at(k)));
    return points;
}

QStringList itemsOf(const QComboBox *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items.append(list->itemText(i));
    return items;
}

// The lowest and highest value of the points in each of `columns` columns over [left, right].
QMap<int, std::pair<double, double>> extremesByColumn(const QList<QPointF> &points, double left,
                                                      double right, int columns)
{
    QMap<int, std::pair<double, double>> extremes;
    for (const QPointF &point : points) {
        if (point.x() < left || point.x() > right)
            continue;
        const int column =
            std::min(columns - 1, int((point.x() - left) / (right - left) * columns));
        auto it = extremes.find(column);
        if (it == extremes.end())
            extremes.insert(column, {point.y(), point.y()});
        else
            *it = {std::min(it->first, point.y()), std::max(it->second, point.y())};
    }
    return extremes;
}

} // namespace

class TestUnit4 : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture<Tanaliz>> m_f;
    QLocale m_savedLocale;

    void useDatabase(const TestDatabase::Layout &layout);
    void addValues(const QString &discipline, const QString &criterion, const QString &tool,
                   const QVariantList &values);
    Tanaliz &openWindow();
    void analyse(const QStringList &first, const QStringList &second = {});

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void showFillsBothListsOfEachPairInTableOrder();
    void withoutDatabaseListsStayEmptyAndAnalysisFails();
    void valuesAreDrawnAtPositionsOneTwoThree();
    void comparisonDrawsBothLinesAndReplacesThem();
    void badValueStopsTheAnalysisKeepingEarlierPoints_data();
    void badValueStopsTheAnalysisKeepingEarlierPoints();
    void hugeValuesAreDrawnOrRefusedAtOnce_data();
    void hugeValuesAreDrawnOrRefusedAtOnce();
    void selectionTextWithQuoteSelectsItsRows();
    void emptyTextsSelectOnlyRowsWithEmptyNames();
    void closingDeletesTheWindowAfterTheClose();
    void decimatedLineKeepsEveryColumnsExtremes_data();
    void decimatedLineKeepsEveryColumnsExtremes();
    void aLongLineIsDrawnForItsColumnsAndAgainWhenZoomed();
    void valueConversionUnderRussianLocale_data();
    void valueConversionUnderRussianLocale();
};

void TestUnit4::initTestCase()
{
    m_savedLocale = FormatSettings::instance().regionalLocale();
    FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestUnit4::cleanupTestCase()
{
    FormatSettings::instance().setRegionalLocale(m_savedLocale);
}

void TestUnit4::init()
{
    useDatabase({});
}

void TestUnit4::cleanup()
{
    m_f.reset();
}

void TestUnit4::useDatabase(const TestDatabase::Layout &layout)
{
    m_f.reset(); // the old one withdraws the published path
    m_f = std::make_unique<WindowFixture<Tanaliz>>(layout);
}

void TestUnit4::addValues(const QString &discipline, const QString &criterion, const QString &tool,
                          const QVariantList &values)
{
    for (const QVariant &value : values)
        m_f->db.addValue(discipline, criterion, tool, value);
}

Tanaliz &TestUnit4::openWindow()
{
    return *m_f->open();
}

// Types the texts into the lists (the second selection checks the box) and starts.
void TestUnit4::analyse(const QStringList &first, const QStringList &second)
{
    m_f->window->ComboBox1->setEditText(first.at(0));
    m_f->window->ComboBox2->setEditText(first.at(1));
    m_f->window->ComboBox3->setEditText(first.at(2));
    m_f->window->CheckBox1->setChecked(!second.isEmpty());
    if (!second.isEmpty()) {
        m_f->window->ComboBox4->setEditText(second.at(0));
        m_f->window->ComboBox5->setEditText(second.at(1));
        m_f->window->ComboBox6->setEditText(second.at(2));
    }
    QTest::mouseClick(m_f->window->Button1, Qt::LeftButton);
}

void TestUnit4::showFillsBothListsOfEachPairInTableOrder()
{
    m_f->db.addNames(u"Дисциплины"_s, {Physics, QString(u""_s), Chemistry, Physics});
    m_f->db.addNames(u"Критерии"_s, {Speed, Accuracy});
    m_f->db.addNames(u"Средство_ИКТ"_s, {Projector});
    Tanaliz &window = openWindow();

    QVERIFY(m_f->dialogs.shown.isEmpty());
    const QStringList disciplines{Physics, u""_s, Chemistry, Physics};
    QCOMPARE(itemsOf(window.ComboBox1), disciplines);
    QCOMPARE(itemsOf(window.ComboBox4), disciplines);
    QCOMPARE(itemsOf(window.ComboBox2), QStringList({Speed, Accuracy}));
    QCOMPARE(itemsOf(window.ComboBox5), QStringList({Speed, Accuracy}));
    QCOMPARE(itemsOf(window.ComboBox3), QStringList{Projector});
    QCOMPARE(itemsOf(window.ComboBox6), QStringList{Projector});
    for (const QComboBox *list : {window.ComboBox1, window.ComboBox2, window.ComboBox3,
                                  window.ComboBox4, window.ComboBox5, window.ComboBox6}) {
        QVERIFY(list->currentText().isEmpty());
        QCOMPARE(list->currentIndex(), -1);
    }

    // Showing the window again reads nothing anew.
    window.hide();
    window.show();
    QCOMPARE(window.ComboBox1->count(), 4);

    // The second selection can be edited only while the box is checked.
    QVERIFY(!window.ComboBox4->isEnabled() && !window.ComboBox6->isEnabled());
    window.CheckBox1->click();
    QVERIFY(window.ComboBox4->isEnabled() && window.ComboBox6->isEnabled());
}

void TestUnit4::withoutDatabaseListsStayEmptyAndAnalysisFails()
{
    m_f->db.addNames(u"Дисциплины"_s, {Physics});
    m_f->publishPath({});
    Tanaliz &window = openWindow();
    QVERIFY(m_f->dialogs.shown.isEmpty());
    QCOMPARE(window.ComboBox1->count(), 0);
    QCOMPARE(window.ComboBox4->count(), 0);

    // The path read at showing is used, not the one published since.
    m_f->publishPath(m_f->db.path());
    analyse({Physics, Speed, Projector});
    QCOMPARE(m_f->dialogs.errors().size(), 1);
    QCOMPARE(window.Series1->count(), 0);
    QCOMPARE(window.Series2->count(), 0);
}

void TestUnit4::valuesAreDrawnAtPositionsOneTwoThree()
{
    addValues(Physics, Speed, Projector, {4.0, 5.0, 3.0});
    addValues(Physics, Speed, Board, {9.0});
    addValues(Chemistry, Speed, Projector, {8.0});
    Tanaliz &window = openWindow();
    analyse({Physics, Speed, Projector});
    QCOMPARE(window.Series1->points(), line({4, 5, 3}));
    QCOMPARE(window.Series2->count(), 0);

    // A typed text is used exactly: a trailing space matches no row, and that is no error.
    analyse({Physics + u' ', Speed, Projector});
    QCOMPARE(window.Series1->count(), 0);
    QVERIFY(m_f->dialogs.shown.isEmpty());
}

void TestUnit4::comparisonDrawsBothLinesAndReplacesThem()
{
    addValues(Physics, Speed, Projector, {1.0, 2.0, 3.0, 4.0, 5.0});
    addValues(Chemistry, Accuracy, Board, {-2.0, 7.5, 3.0});
    Tanaliz &window = openWindow();
    const QStringList first{Physics, Speed, Projector};
    const QStringList second{Chemistry, Accuracy, Board};
    analyse(first, second);
    analyse(first, second);
    QCOMPARE(window.Series1->points(), line({1, 2, 3, 4, 5}));
    QCOMPARE(window.Series2->points(), line({-2, 7.5, 3}));

    // Both axes take in both lines.
    const QChart *chart = window.Chart1->chart();
    const auto *x = qobject_cast<QValueAxis *>(chart->axes(Qt::Horizontal).constFirst());
    const auto *y = qobject_cast<QValueAxis *>(chart->axes(Qt::Vertical).constFirst());
    QVERIFY(x->min() <= 1.0 && x->max() >= 5.0 && x->max() < 6.0);
    QVERIFY(y->min() <= -2.0 && y->max() >= 7.5 && y->max() - y->min() < 20.0);

    analyse(first);
    QCOMPARE(window.Series1->points(), line({1, 2, 3, 4, 5}));
    QCOMPARE(window.Series2->count(), 0);
    QVERIFY(m_f->dialogs.shown.isEmpty());
}

void TestUnit4::badValueStopsTheAnalysisKeepingEarlierPoints_data()
{
    QTest::addColumn<QVariant>("bad");
    QTest::addColumn<QString>("message");
    QTest::newRow("letters") << QVariant(u"пять"_s)
                             << u"Could not convert variant of type (OleStr) into type (Double)"_s;
    QTest::newRow("decimal point")
        << QVariant(u"4.5"_s) << u"Could not convert variant of type (OleStr) into type (Double)"_s;
    QTest::newRow("too large")
        << QVariant(u"1e400"_s)
        << u"Overflow while converting variant of type (OleStr) into type (Double)"_s;
    QTest::newRow("null") << QVariant()
                          << u"Could not convert variant of type (Null) into type (Double)"_s;
}

void TestUnit4::badValueStopsTheAnalysisKeepingEarlierPoints()
{
    QFETCH(QVariant, bad);
    QFETCH(QString, message);
    // An untyped value column keeps stored texts texts.
    useDatabase({.valueType = {}});
    addValues(Physics, Speed, Projector, {4, u"5"_s, bad, 6});
    addValues(Chemistry, Speed, Projector, {1, 2});
    Tanaliz &window = openWindow();
    analyse({Physics, Speed, Projector}, {Chemistry, Speed, Projector});

    QCOMPARE(m_f->dialogs.errors(), QStringList{message});
    QCOMPARE(window.Series1->points(), line({4, 5}));
    // The rest of the analysis, the second selection included, is not done.
    QCOMPARE(window.Series2->count(), 0);
}

void TestUnit4::hugeValuesAreDrawnOrRefusedAtOnce_data()
{
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("both signs, beyond any span") << QVariantList{1e308, -1e308} << false;
    QTest::newRow("the largest double alone") << QVariantList{1.7e308} << false;
    QTest::newRow("huge but within a span") << QVariantList{4e307, -4e307} << true;
}

void TestUnit4::hugeValuesAreDrawnOrRefusedAtOnce()
{
    QFETCH(QVariantList, values);
    QFETCH(bool, drawn);
    addValues(Physics, Speed, Projector, values);
    Tanaliz &window = openWindow();
    QElapsedTimer timer;
    timer.start();
    analyse({Physics, Speed, Projector});
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));

    const auto *axis =
        qobject_cast<QValueAxis *>(window.Chart1->chart()->axes(Qt::Vertical).first());
    QVERIFY(std::isfinite(axis->max() - axis->min()));
    if (drawn) {
        QVERIFY(m_f->dialogs.errors().isEmpty());
        QCOMPARE(window.Series1->count(), values.size());
        QVERIFY(axis->min() <= -4e307 && axis->max() >= 4e307);
        // Never more ticks than fit on the axis.
        QVERIFY((axis->max() - axis->min()) / axis->tickInterval() <= 12);
    } else {
        QCOMPARE(m_f->dialogs.errors().size(), 1);
        QVERIFY2(m_f->dialogs.errors().constFirst().startsWith(
                     u"Значения слишком далеки друг от друга"_s),
                 qPrintable(m_f->dialogs.errors().constFirst()));
        QCOMPARE(window.Series1->count(), 0);
    }
}

void TestUnit4::selectionTextWithQuoteSelectsItsRows()
{
    const QString quoted = u"Курс \"Основы\""_s;
    addValues(quoted, Speed, u"\""_s, {7.0, 8.0});
    addValues(u"Курс "_s, Speed, u"\""_s, {1.0});
    Tanaliz &window = openWindow();
    analyse({quoted, Speed, u"\""_s});
    QVERIFY2(m_f->dialogs.shown.isEmpty(), qPrintable(m_f->dialogs.errors().join(u'\n')));
    QCOMPARE(window.Series1->points(), line({7, 8}));
}

void TestUnit4::emptyTextsSelectOnlyRowsWithEmptyNames()
{
    addValues(u""_s, u""_s, u""_s, {2.0});
    addValues(Physics, u""_s, u""_s, {9.0});
    m_f->db.exec(u"INSERT INTO Значения VALUES (NULL, NULL, NULL, 5, '01.01.2024')"_s);
    addValues(u""_s, u""_s, u""_s, {3.0});
    Tanaliz &window = openWindow();

    // Checked with the second selection left empty: the green line takes the same rows.
    window.CheckBox1->setChecked(true);
    QTest::mouseClick(window.Button1, Qt::LeftButton);
    QVERIFY(m_f->dialogs.shown.isEmpty());
    QCOMPARE(window.Series1->points(), line({2, 3}));
    QCOMPARE(window.Series2->points(), line({2, 3}));
}

void TestUnit4::closingDeletesTheWindowAfterTheClose()
{
    Tanaliz &window = openWindow();
    analiz = &window;
    QVERIFY(window.close());
    // Deleted once the close has been processed, not during it.
    QVERIFY(!analiz.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(analiz.isNull());
    QVERIFY(m_f->window.isNull());
}

void TestUnit4::valueConversionUnderRussianLocale_data()
{
    const QString notConverted = u"Could not convert variant of type (OleStr) into type (Double)"_s;
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("real number") << QVariant(4.25) << u"4.25"_s;
    QTest::newRow("integer") << QVariant(qint64(-7)) << u"-7"_s;
    QTest::newRow("decimal comma") << QVariant(u" 4,5 "_s) << u"4.5"_s;
    QTest::newRow("grouped thousands") << QVariant(u"1 000,5"_s) << u"1000.5"_s;
    QTest::newRow("exponent") << QVariant(u"1,5E3"_s) << u"1500"_s;
    QTest::newRow("decimal point") << QVariant(u"4.5"_s) << notConverted;
    QTest::newRow("empty text") << QVariant(u""_s) << notConverted;
    QTest::newRow("infinity word") << QVariant(u"inf"_s) << notConverted;
    QTest::newRow("too large")
        << QVariant(u"-1e999"_s)
        << u"Overflow while converting variant of type (OleStr) into type (Double)"_s;
    QTest::newRow("infinite number")
        << QVariant(std::numeric_limits<double>::infinity())
        << u"Overflow while converting variant of type (Double) into type (Double)"_s;
    QTest::newRow("bytes")
        << QVariant(QByteArray("4"))
        << u"Could not convert variant of type (Array Byte) into type (Double)"_s;
}

void TestUnit4::valueConversionUnderRussianLocale()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, expected);
    QString converted;
    try {
        converted = QString::number(valueToDouble(stored), 'g', 17);
    } catch (const std::runtime_error &error) {
        converted = QString::fromUtf8(error.what());
    }
    QCOMPARE(converted, expected);
}

void TestUnit4::decimatedLineKeepsEveryColumnsExtremes_data()
{
    QTest::addColumn<QList<QPointF>>("points");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("right");
    QTest::addColumn<int>("columns");
    QList<double> saw, spikes, few;
    for (int i = 0; i < 10000; ++i) {
        saw.append(i % 10);
        spikes.append(i == 4321 ? 1000.0 : (i == 777 ? -1000.0 : std::sin(i * 0.01)));
    }
    for (int i = 0; i < 300; ++i)
        few.append(i % 3);
    QTest::newRow("ten per column") << line(saw) << 1.0 << 10000.0 << 100;
    QTest::newRow("single spikes") << line(spikes) << 1.0 << 10000.0 << 333;
    QTest::newRow("zoomed in") << line(spikes) << 4000.5 << 4600.5 << 50;
    QTest::newRow("few points") << line(few) << 1.0 << 300.0 << 100;
}

void TestUnit4::decimatedLineKeepsEveryColumnsExtremes()
{
    QFETCH(QList<QPointF>, points);
    QFETCH(double, left);
    QFETCH(double, right);
    QFETCH(int, columns);
    const QList<QPointF> kept = decimatedLine(points, left, right, columns);

    QCOMPARE(extremesByColumn(kept, left, right, columns),
             extremesByColumn(points, left, right, columns));
    QVERIFY(kept.size() <= std::max(points.size(), 4 * qsizetype(columns) + 2));
    // Read points only, in their order, and the neighbours the edge segments run to.
    qsizetype at = 0;
    for (const QPointF &point : kept) {
        while (at < points.size() && points.at(at) != point)
            ++at;
        QVERIFY2(at < points.size(), "a point that was never read, or out of order");
    }
    const auto firstInside = std::find_if(points.cbegin(), points.cend(),
                                          [&](const QPointF &p) { return p.x() >= left; });
    if (firstInside != points.cbegin())
        QCOMPARE(kept.first(), *(firstInside - 1));
    else
        QCOMPARE(kept.first(), points.first());
}

void TestUnit4::aLongLineIsDrawnForItsColumnsAndAgainWhenZoomed()
{
    QList<double> values;
    for (int i = 0; i < 5000; ++i)
        values.append(i == 2500 ? 99.0 : (i % 17) * 0.5);
    m_f->db.exec(u"BEGIN"_s);
    addValues(Physics, Speed, Projector, QVariantList(values.cbegin(), values.cend()));
    m_f->db.exec(u"COMMIT"_s);
    Tanaliz &window = openWindow();
    analyse({Physics, Speed, Projector});

    const int columns = int(std::ceil(window.Chart1->chart()->plotArea().width()));
    const QList<QPointF> drawn = window.Series1->points();
    QVERIFY2(drawn.size() <= 4 * columns + 2, qPrintable(QString::number(drawn.size())));
    QCOMPARE(extremesByColumn(drawn, 1.0, 5000.0, columns),
             extremesByColumn(line(values), 1.0, 5000.0, columns));
    const auto *axisY =
        qobject_cast<QValueAxis *>(window.Chart1->chart()->axes(Qt::Vertical).first());
    QVERIFY(axisY->max() >= 99.0);

    // Zoomed in on 100 positions, every point read there is drawn.
    qobject_cast<QValueAxis *>(window.Chart1->chart()->axes(Qt::Horizontal).first())
        ->setRange(2000.0, 2100.0);
    const QList<QPointF> zoomed = window.Series1->points();
    for (int x = 2000; x <= 2100; ++x)
        QVERIFY(zoomed.contains(QPointF(x, values.at(x - 1))));
}

QTEST_MAIN(TestUnit4)
#include "test_unit4.moc"
