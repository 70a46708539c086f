#include "analysis/Unit7.h"
#include "core/ValueConversion.h"

#include "core/FormatSettings.h"
#include "db/RecordSet.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/WindowFixture.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QTextDocumentFragment>
#include <QtTest>
#include <memory>

using namespace EffAnalysis;

using namespace Qt::StringLiterals;

namespace {

const QString Speed = QStringLiteral("Скорость");
const QString Tool = QStringLiteral("Проектор");

// What the pie shows: marks as plain text, slice sizes, and which slice is pulled out.
struct Pie
{
    QStringList marks;
    QList<double> sizes;
    int exploded = -1;
};

Pie pieOf(const Teff &window)
{
    Pie pie;
    const QList<QPieSlice *> slices = window.Series1->slices();
    for (qsizetype i = 0; i < slices.size(); ++i) {
        // (a no-break space of a group separator reads back from the rich text as a space)
        pie.marks.append(QTextDocumentFragment::fromHtml(slices.at(i)->label()).toPlainText());
        pie.sizes.append(slices.at(i)->value());
        if (slices.at(i)->isExploded())
            pie.exploded = pie.exploded < 0 ? int(i) : -2; // -2: more than one
    }
    return pie;
}

QStringList numberedNames(int count)
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names.append(QStringLiteral("Дисциплина %1").arg(i));
    return names;
}

} // namespace

class TestEff : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture<Teff>> m_f;

    void useDatabase(const TestDatabase::Layout &layout)
    {
        m_f.reset(); // the old one withdraws the published path
        m_f = std::make_unique<WindowFixture<Teff>>(layout);
    }
    // A shown window over the current database.
    Teff *openWindow() { return m_f->open(); }

    static void analyse(Teff &window, const QString &criterion = Speed)
    {
        window.ComboBox1->setCurrentText(criterion);
        QTest::mouseClick(window.Button1, Qt::LeftButton);
    }

private Q_SLOTS:
    void initTestCase()
    {
        FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
    }

    void init() { useDatabase({}); }

    void cleanup() { m_f.reset(); }

    void slotTwentyIsTriedBeforeSlotTwelve()
    {
        // Slot 12 is unnamed too, but the empty text reaches slot 20 first, so its mean
        // comes after slot 13's.
        DisciplineSlots slotTable;
        slotTable.setNames(numberedNames(11) + QStringList{QString(), QStringLiteral("Последняя")});
        QVERIFY(slotTable.credit(QString(), 4.0));
        QVERIFY(slotTable.credit(QStringLiteral("Последняя"), 1.0));
        QVERIFY(!slotTable.credit(QStringLiteral("дисциплина 1"), 1.0));
        const QList<DisciplineMean> means = slotTable.nonZeroMeans();
        QCOMPARE(means.size(), 2);
        QCOMPARE(means.at(0).name, QStringLiteral("Последняя"));
        QCOMPARE(means.at(1).name, QString());
        QCOMPARE(means.at(1).value, 4.0);
    }

    void regionalNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("number");
        QTest::newRow("comma, spaces, sign") << QStringLiteral(" -3,25 ") << true << -3.25;
        QTest::newRow("groups") << QStringLiteral("1\u00a0234,5") << true << 1234.5;
        QTest::newRow("full stop") << QStringLiteral("2.5") << false << 0.0;
        QTest::newRow("word") << QStringLiteral("много") << false << 0.0;
        QTest::newRow("infinity") << QStringLiteral("inf") << false << 0.0;
    }

    void regionalNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(double, number);
        try {
            QCOMPARE(parseRegionalFloat(text), number);
            QVERIFY(valid);
        } catch (const std::exception &e) {
            QVERIFY(!valid);
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("'%1' is not a valid floating point value").arg(text));
        }
    }

    void markValues_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("mark");
        QTest::newRow("whole") << 7.0 << QStringLiteral("7");
        QTest::newRow("rounded") << 0.12345 << QStringLiteral("0,123");
        QTest::newRow("groups") << -12345.6 << QStringLiteral("-12\u00a0345,6");
        QTest::newRow("tiny") << -0.0001 << QStringLiteral("0");
    }

    void markValues()
    {
        QFETCH(double, value);
        QFETCH(QString, mark);
        QCOMPARE(formatMarkValue(value), mark);
    }

    void criterionListIsFilledWhenShown()
    {
        m_f->db.addNames(QStringLiteral("Критерии"), {Speed, QString(), Speed});
        const auto window = openWindow();
        QCOMPARE(window->DBPath, m_f->db.path());
        QCOMPARE(window->ComboBox1->count(), 3);
        QCOMPARE(window->ComboBox1->itemText(1), QString());
        QCOMPARE(window->ComboBox1->itemText(2), Speed);
        QVERIFY(window->ComboBox1->isEditable());
        QCOMPARE(window->ComboBox1->currentText(), QString());
        // Shown again, it fills nothing twice.
        window->hide();
        window->show();
        QCOMPARE(window->ComboBox1->count(), 3);
        QVERIFY(m_f->dialogs.shown.isEmpty());
    }

    void withoutDatabaseTheListStaysEmptyAndAnalysisFails()
    {
        m_f->db.addNames(QStringLiteral("Критерии"), {Speed});
        m_f->publishPath({});
        Teff *window = openWindow();
        QCOMPARE(window->ComboBox1->count(), 0);
        QVERIFY(m_f->dialogs.shown.isEmpty());
        analyse(*window);
        QCOMPARE(m_f->dialogs.errors().size(), 1);
        QCOMPARE(window->Series1->count(), 0);
    }

    void pieOfMeans_data()
    {
        QTest::addColumn<QStringList>("disciplines");
        QTest::addColumn<QStringList>("valueDisciplines");
        QTest::addColumn<QList<double>>("values");
        QTest::addColumn<QStringList>("marks");
        QTest::addColumn<QList<double>>("sizes");
        QTest::addColumn<int>("exploded");
        const QString maths = QStringLiteral("Математика");
        const QString physics = QStringLiteral("Физика");
        const QString chemistry = QStringLiteral("Химия");
        QTest::newRow("two means in table order")
            << QStringList{maths, physics} << QStringList{physics, maths, maths}
            << QList<double>{5, 3, 4} << QStringList{maths, physics} << QList<double>{3.5, 5} << 1;
        QTest::newRow("zero mean out, negative mean in")
            << QStringList{chemistry, maths, physics}
            << QStringList{chemistry, chemistry, maths, physics} << QList<double>{2, -2, -3, 1}
            << QStringList{maths, physics} << QList<double>{3, 1} << 0;
        QTest::newRow("equal largest: the first")
            << QStringList{maths, physics} << QStringList{maths, physics} << QList<double>{4, 4}
            << QStringList{maths, physics} << QList<double>{4, 4} << 0;
        QTest::newRow("repeated, unlisted and differently cased names")
            << QStringList{physics, physics, chemistry}
            << QStringList{physics, chemistry, QStringLiteral("физика"),
                           QStringLiteral("Астрономия")}
            << QList<double>{6, 1, 100, 100} << QStringList{physics, chemistry}
            << QList<double>{6, 1} << 0;
        // An empty discipline text takes slot n+1 with up to 10 names, slot 20 with more.
        for (const int named : {2, 12}) {
            QTest::addRow("empty discipline after %d names", named)
                << numberedNames(named) << numberedNames(named) + QStringList{QString()}
                << QList<double>(named, 1.0) + QList<double>{1234.25}
                << numberedNames(named) + QStringList{QStringLiteral("1 234,25")}
                << QList<double>(named, 1.0) + QList<double>{1234.25} << named;
        }
        // Sums of huge values overflow where their means do not; the pie keeps the shares.
        QTest::newRow("huge values of one discipline")
            << QStringList{maths, physics} << QStringList{maths, maths, physics}
            << QList<double>{1e308, 1e308, 5} << QStringList{maths, physics}
            << QList<double>{1e308, 5} << 0;
        QTest::newRow("huge means of two disciplines")
            << QStringList{maths, physics} << QStringList{maths, physics, physics}
            << QList<double>{1e308, 1.5e308, 0.5e308} << QStringList{maths, physics}
            << QList<double>{1, 1} << 0;
        QTest::newRow("19 disciplines")
            << numberedNames(19) << numberedNames(19) << QList<double>(19, 2.0) << numberedNames(19)
            << QList<double>(19, 2.0) << 0;
    }

    void pieOfMeans()
    {
        QFETCH(QStringList, disciplines);
        QFETCH(QStringList, valueDisciplines);
        QFETCH(QList<double>, values);
        QFETCH(QStringList, marks);
        QFETCH(QList<double>, sizes);
        QFETCH(int, exploded);
        m_f->db.addNames(QStringLiteral("Дисциплины"), disciplines);
        for (qsizetype i = 0; i < values.size(); ++i)
            m_f->db.addValue(valueDisciplines.at(i), Speed, Tool, values.at(i));
        m_f->db.addValue(disciplines.constFirst(), QStringLiteral("Удобство"), Tool, 1000);
        const auto window = openWindow();

        // Pressing twice draws the same pie, not a second copy.
        for (int press = 0; press < 2; ++press) {
            analyse(*window);
            const Pie pie = pieOf(*window);
            QCOMPARE(pie.marks, marks);
            QCOMPARE(pie.sizes, sizes);
            QCOMPARE(pie.exploded, exploded);
        }
        QVERIFY(m_f->dialogs.shown.isEmpty());
    }

    void moreThanNineteenDisciplinesAreRefused_data()
    {
        QTest::addColumn<int>("disciplines");
        QTest::newRow("20") << 20;
        QTest::newRow("25") << 25;
    }

    void moreThanNineteenDisciplinesAreRefused()
    {
        QFETCH(int, disciplines);
        const QStringList names = numberedNames(disciplines);
        m_f->db.addNames(QStringLiteral("Дисциплины"), names);
        for (const QString &name : names)
            m_f->db.addValue(name, Speed, Tool, 2);
        const auto window = openWindow();
        analyse(*window);
        QCOMPARE(window->Series1->count(), 0);
        QVERIFY(m_f->dialogs.errors().isEmpty());
        const QStringList said = m_f->dialogs.informations();
        QCOMPARE(said.size(), 1);
        QVERIFY(said.first().contains(QStringLiteral("не более 19 дисциплин")));
        QVERIFY(said.first().contains(QStringLiteral("их %1").arg(disciplines)));
    }

    void conversionFailuresLeaveAnEmptyPie_data()
    {
        QTest::addColumn<QString>("discipline"); // SQL literals
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("error");
        const QString noString =
            QStringLiteral("Could not convert variant of type (Null) into type (String)");
        QTest::newRow("null discipline")
            << QStringLiteral("NULL") << QStringLiteral("1") << noString;
        QTest::newRow("null value")
            << QStringLiteral("'Физика'") << QStringLiteral("NULL") << noString;
        QTest::newRow("full stop") << QStringLiteral("'Физика'") << QStringLiteral("'2.5'")
                                   << QStringLiteral("'2.5' is not a valid floating point value.");
        // Converted before matching: an unlisted discipline stops the analysis too.
        QTest::newRow("unlisted discipline")
            << QStringLiteral("'Астрономия'") << QStringLiteral("'много'")
            << QStringLiteral("'много' is not a valid floating point value.");
        QTest::newRow("empty text") << QStringLiteral("'Физика'") << QStringLiteral("''")
                                    << QStringLiteral("'' is not a valid floating point value.");
    }

    void conversionFailuresLeaveAnEmptyPie()
    {
        QFETCH(QString, discipline);
        QFETCH(QString, value);
        QFETCH(QString, error);
        // An untyped value column, so that texts stay texts.
        useDatabase({.valueType = {}});
        m_f->db.addNames(QStringLiteral("Дисциплины"), {QStringLiteral("Физика")});
        m_f->db.addValue(QStringLiteral("Физика"), Speed, Tool, QStringLiteral("2,5"));
        const auto window = openWindow();
        analyse(*window);
        QCOMPARE(pieOf(*window).sizes, QList<double>{2.5});

        m_f->db.exec(
            QStringLiteral("INSERT INTO Значения VALUES (%1, 'Скорость', 'Проектор', %2, '')")
                .arg(discipline, value));
        analyse(*window);
        QCOMPARE(m_f->dialogs.errors(), QStringList{error});
        QCOMPARE(window->Series1->count(), 0);
        QCOMPARE(window->Chart1->chart()->title(), QStringLiteral("Результаты анализа"));
        QVERIFY(!window->ADODataSet1->isOpen());
    }

    void criterionTextIsUsedExactly()
    {
        const QString quoted = QStringLiteral("Он \"быстрый\") or (1=1");
        m_f->db.addNames(QStringLiteral("Дисциплины"),
                         {QStringLiteral("Физика"), QStringLiteral("Химия")});
        m_f->db.addValue(QStringLiteral("Физика"), quoted, Tool, 3);
        m_f->db.addValue(QStringLiteral("Химия"), Speed, Tool, 3);
        m_f->db.addValue(QStringLiteral("Химия"), QString(), Tool, 8);
        const auto window = openWindow();

        analyse(*window, quoted);
        QCOMPARE(pieOf(*window).marks, QStringList{QStringLiteral("Физика")});
        analyse(*window, QString());
        QCOMPARE(pieOf(*window).sizes, QList<double>{8});
        analyse(*window, QStringLiteral("Нет такого"));
        QCOMPARE(window->Series1->count(), 0);
        QVERIFY(m_f->dialogs.shown.isEmpty());
    }

    void chartAsDrawn()
    {
        m_f->db.addNames(QStringLiteral("Дисциплины"),
                         {QStringLiteral("Физика"), QStringLiteral("Химия")});
        m_f->db.addValue(QStringLiteral("Физика"), Speed, Tool, 3);
        m_f->db.addValue(QStringLiteral("Химия"), Speed, Tool, 1);
        const auto window = openWindow();
        analyse(*window);
        QCoreApplication::processEvents();

        QCOMPARE(window->Chart1->geometry(), QRect(8, 112, 689, 409));
        QCOMPARE(window->Chart1->chart()->title(), QStringLiteral("Результаты анализа"));
        QCOMPARE(window->Series1->name(), QStringLiteral("Итоги анализа"));
        const QList<QPieSlice *> slices = window->Series1->slices();
        QVERIFY(slices.at(0)->brush().color() != slices.at(1)->brush().color());
        // Each mark names its discipline with its mean and share, beside the pie.
        QCOMPARE(window->marks(), (QStringList{u"Физика: 3 (75,0 %)"_s, u"Химия: 1 (25,0 %)"_s}));
        const QRectF area = window->Chart1->chart()->plotArea();
        const QList<QRectF> marks = window->markRects();
        QCOMPARE(marks.size(), 2);
        QVERIFY(marks.at(0).left() > area.center().x() && marks.at(1).right() < area.center().x());

        const QImage image = window->Chart1->grab().toImage();
        const auto pixelsOf = [&image](QRgb colour) {
            int found = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x)
                    found += image.pixel(x, y) == colour;
            }
            return found;
        };
        QVERIFY(pixelsOf(qRgb(152, 153, 163)) > 500); // the title's box
        QVERIFY(pixelsOf(qRgb(255, 255, 0)) > 100);   // the marks' background
    }

    void closingDestroysTheWindow()
    {
        QPointer<Teff> window = new Teff;
        QCOMPARE(eff.data(), window.data());
        window->show();
        QVERIFY(window->close());
        QVERIFY(window); // only once the close has been processed
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window);
        QVERIFY(!eff);
    }
};

QTEST_MAIN(TestEff)
#include "test_unit7.moc"
