#include "core/FormatSettings.h"
#include "tests/support/FakeDialogs.h"
#include "ui/ErrorGuard.h"

#include <QDate>
#include <QTest>
#include <stdexcept>

using namespace Qt::StringLiterals;

class TestFormats : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void shortDateFollowsFormatAndSeparator_data();
    void shortDateFollowsFormatAndSeparator();
    void regionalSettings();
    void guardShowsTheMessageAndStops();
};

void TestFormats::init()
{
    FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestFormats::shortDateFollowsFormatAndSeparator_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("expected");
    QTest::newRow("the clock's format") << u"dd.mm.yyyy"_s << u"/"_s << u"05.03.2024"_s;
    QTest::newRow("separator placeholder") << u"dd/mm/yyyy"_s << u"-"_s << u"05-03-2024"_s;
    QTest::newRow("short parts") << u"d/m/yy"_s << u"."_s << u"5.3.24"_s;
}

void TestFormats::shortDateFollowsFormatAndSeparator()
{
    QFETCH(QString, format);
    QFETCH(QString, separator);
    QFETCH(QString, expected);
    FormatSettings &settings = FormatSettings::instance();
    settings.setShortDateFormat(format);
    settings.setDateSeparator(separator.front());
    QCOMPARE(settings.formatShortDate(QDate(2024, 3, 5)), expected);
}

void TestFormats::regionalSettings()
{
    FormatSettings &settings = FormatSettings::instance();
    QCOMPARE(settings.decimalSeparator(), QChar(u','));
    // The regional short date comes over in the classic notation.
    QCOMPARE(settings.shortDateFormat(), u"dd/mm/yyyy"_s);
    QCOMPARE(settings.dateSeparator(), QChar(u'.'));
    // The long time is the time of day alone, without a time zone.
    QCOMPARE(settings.formatLongTime(QTime(9, 5, 7)), u"09:05:07"_s);
    settings.setRegionalLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(settings.decimalSeparator(), QChar(u'.'));
    QVERIFY(!settings.longTimeFormat().contains(u't'));
}

void TestFormats::guardShowsTheMessageAndStops()
{
    FakeDialogs dialogs;
    bool after = false;
    guard(nullptr, [&] {
        throw std::runtime_error("Файл не найден");
        after = true;
    });
    QVERIFY(!after);
    QCOMPARE(dialogs.errors(), QStringList({u"Файл не найден."_s}));
    QCOMPARE(errorBoxText(u"Ошибка (1)"_s), u"Ошибка (1)"_s);
    QCOMPARE(errorBoxText(QString()), QString());
}

QTEST_MAIN(TestFormats)
#include "test_formats.moc"
