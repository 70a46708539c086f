#include "access/AccessFormat.h"
#include "access/reader/AccessValue.h"
#include "db/Sqlite.h"

#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// A Decimal's 17 bytes: the sign, then four little-endian words, most significant first.
QByteArray decimalBytes(bool negative, quint32 w0, quint32 w1, quint32 w2, quint32 w3)
{
    QByteArray bytes(17, '\0');
    bytes[0] = negative ? char(0x80) : '\0';
    const quint32 words[] = {w0, w1, w2, w3};
    for (int i = 0; i < 4; ++i)
        qToLittleEndian(words[i], bytes.data() + 1 + 4 * i);
    return bytes;
}

} // namespace

class TestAccessValue : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void dates_data();
    void dates();
    void codePageOfJet3Texts_data();
    void codePageOfJet3Texts();
    void dateColumnsTakeOneShortestForm_data();
    void dateColumnsTakeOneShortestForm();
    void singlesReadAsAccessShowsThem();
    void guids();
    void decimals_data();
    void decimals();
    void jet4Texts_data();
    void jet4Texts();
    void formatsByHeader();
};

void TestAccessValue::dates_data()
{
    QTest::addColumn<double>("days");
    QTest::addColumn<QString>("text");
    QTest::newRow("day zero") << 0.0 << u"1899-12-30T00:00:00.000"_s;
    QTest::newRow("midday") << 1.5 << u"1899-12-31T12:00:00.000"_s;
    QTest::newRow("ordinary") << 39144.634027777778 << u"2007-03-03T15:13:00.000"_s;
    QTest::newRow("milliseconds") << 45000.5 + 1.25 / 86400 << u"2023-03-15T12:00:01.250"_s;
    // Before day zero the fraction is still a positive time of that day.
    QTest::newRow("negative with time") << -1.25 << u"1899-12-29T06:00:00.000"_s;
    QTest::newRow("negative half day") << -0.5 << u"1899-12-30T12:00:00.000"_s;
    QTest::newRow("negative whole") << -23.0 << u"1899-12-07T00:00:00.000"_s;
    // A time that rounds to the next midnight belongs to the next day, both ways.
    QTest::newRow("rounds to next day") << 2.999999999999 << u"1900-01-02T00:00:00.000"_s;
    QTest::newRow("negative rounds up") << -1.999999999999 << u"1899-12-30T00:00:00.000"_s;
    QTest::newRow("first year") << -657434.0 << u"0100-01-01T00:00:00.000"_s;
    QTest::newRow("last day") << 2958465.5 << u"9999-12-31T12:00:00.000"_s;
    QTest::newRow("after 9999") << 2958466.0 << QString();
    QTest::newRow("before 100") << -657435.0 << QString();
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << QString();
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << QString();
}

void TestAccessValue::dates()
{
    QFETCH(double, days);
    QFETCH(QString, text);
    const QString result = AccessValue::dateText(days);
    QCOMPARE(result, text);
    QCOMPARE(result.isNull(), text.isNull());
}

void TestAccessValue::codePageOfJet3Texts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("codePage");
    // «Привет, мир! Журнал успеваемости ёлки» in Windows-1251.
    const QByteArray cyrillic = QByteArray::fromHex(
        "cff0e8e2e5f22c20ece8f02120c6f3f0ede0eb20f3f1efe5e2e0e5eceef1f2e820b8ebeae8");
    // «数据库 学生 成绩 数据库» in GBK.
    const QByteArray chinese =
        QByteArray::fromHex("cafdbeddbfe220d1a7c9fa20b3c9bca820cafdbeddbfe2");
    // «Élève à l'école, café crème, garçon naïve» in Windows-1252.
    const QByteArray french = u"Élève à l'école, café crème, garçon naïve"_s.toLatin1();
    QTest::newRow("Cyrillic") << cyrillic << u"1251"_s;
    QTest::newRow("Chinese") << chinese + " " + chinese << u"936"_s;
    QTest::newRow("French reads as 1252") << french + " " + french << QString();
    QTest::newRow("English") << QByteArray("plain text of a table, numbers 12345") << QString();
    QTest::newRow("too little to tell") << cyrillic.left(8) << QString();
}

void TestAccessValue::codePageOfJet3Texts()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, codePage);
    QCOMPARE(AccessValue::likelierCodePage(text), codePage);
}

void TestAccessValue::dateColumnsTakeOneShortestForm_data()
{
    QTest::addColumn<QVariantList>("stored");
    QTest::addColumn<QVariantList>("shortened");
    const QString midnight = u"2024-01-05T00:00:00.000"_s;
    QTest::newRow("all midnights: the dates alone")
        << QVariantList{midnight, u"1899-12-30T00:00:00.000"_s, QVariant()}
        << QVariantList{u"2024-01-05"_s, u"1899-12-30"_s, QVariant()};
    QTest::newRow("a time of day: every value with its time")
        << QVariantList{midnight, u"2024-01-06T08:30:00.000"_s}
        << QVariantList{u"2024-01-05T00:00:00"_s, u"2024-01-06T08:30:00"_s};
    QTest::newRow("a millisecond: every value with milliseconds")
        << QVariantList{midnight, u"2024-01-06T08:30:00.250"_s}
        << QVariantList{midnight, u"2024-01-06T08:30:00.250"_s};
    QTest::newRow("a number that is no date stays")
        << QVariantList{midnight, 1e300} << QVariantList{u"2024-01-05"_s, 1e300};
}

void TestAccessValue::dateColumnsTakeOneShortestForm()
{
    QFETCH(QVariantList, stored);
    QFETCH(QVariantList, shortened);
    QTemporaryDir dir;
    SqliteDatabase db(dir.filePath(u"даты.mdb"_s), SqliteDatabase::OpenMode::CreateNew);
    db.exec(u"CREATE TABLE \"Т\" (\"Когда\" DATETIME)"_s);
    for (const QVariant &value : stored) {
        SqliteStatement insert(db, u"INSERT INTO \"Т\" VALUES (?1)"_s);
        insert.bind(1, value);
        insert.step();
    }
    for (const QString &statement : AccessValue::shortenedDates(u"\"Т\""_s, u"\"Когда\""_s))
        db.exec(statement);
    QVariantList result;
    SqliteStatement select(db, u"SELECT \"Когда\" FROM \"Т\" ORDER BY rowid"_s);
    while (select.step())
        result.append(select.value(0));
    QCOMPARE(result, shortened);
}

void TestAccessValue::singlesReadAsAccessShowsThem()
{
    QCOMPARE(AccessValue::singleValue(1.1f), 1.1);
    QCOMPARE(AccessValue::singleValue(-0.00035134f), -0.00035134);
    QCOMPARE(AccessValue::singleValue(-8540981760.0f), -8540981760.0);
    QCOMPARE(float(AccessValue::singleValue(3.4028235e38f)), 3.4028235e38f);
    QVERIFY(std::isinf(AccessValue::singleValue(std::numeric_limits<float>::infinity())));
    QCOMPARE(AccessValue::currencyValue(-85409824234500), -8540982423.45);
}

void TestAccessValue::guids()
{
    const QByteArray bytes = QByteArray::fromHex("6a27398ea8bcc44a891e49911d8438dd");
    QCOMPARE(AccessValue::guidText(bytes), u"{8E39276A-BCA8-4AC4-891E-49911D8438DD}"_s);
    QVERIFY(AccessValue::guidText(bytes.left(15)).isNull());
}

void TestAccessValue::decimals_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << decimalBytes(false, 0, 0, 0, 0) << 2 << u"0.00"_s;
    QTest::newRow("negative zero") << decimalBytes(true, 0, 0, 0, 0) << 2 << u"0.00"_s;
    QTest::newRow("whole") << decimalBytes(false, 0, 0, 0, 12345) << 0 << u"12345"_s;
    QTest::newRow("scaled") << decimalBytes(true, 0, 0, 0, 12345) << 2 << u"-123.45"_s;
    QTest::newRow("below one") << decimalBytes(false, 0, 0, 0, 5) << 3 << u"0.005"_s;
    QTest::newRow("second word") << decimalBytes(false, 0, 0, 1, 0) << 0 << u"4294967296"_s;
    // 10^28 - 1, the largest 28-digit number: 0x204FCE5E 3E250261 0FFFFFFF.
    QTest::newRow("28 digits") << decimalBytes(false, 0, 0x204FCE5E, 0x3E250261, 0x0FFFFFFF) << 10
                               << u"999999999999999999.9999999999"_s;
    QTest::newRow("short") << QByteArray(16, '\0') << 0 << QString();
    QTest::newRow("scale too big") << decimalBytes(false, 0, 0, 0, 1) << 29 << QString();
}

void TestAccessValue::decimals()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, scale);
    QFETCH(QString, text);
    const QString result = AccessValue::decimalText(bytes, scale);
    QCOMPARE(result, text);
    QCOMPARE(result.isNull(), text.isNull());
}

void TestAccessValue::jet4Texts_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain UTF-16") << QByteArray::fromHex("1c04380440040000") << u"Мир\u0000"_s;
    QTest::newRow("compressed") << QByteArray::fromHex("fffe416363657373") << u"Access"_s;
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("marker only") << QByteArray::fromHex("fffe") << QString();
    // A zero byte switches to two bytes a character and back.
    QTest::newRow("switching") << QByteArray::fromHex("fffe41001c04380440040042") << u"AМирB"_s;
    QTest::newRow("half a character") << QByteArray::fromHex("fffe41001c04") + "\x38" << u"AМ"_s;
    QTest::newRow("odd plain") << QByteArray::fromHex("410042") << u"A"_s;
}

void TestAccessValue::jet4Texts()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(AccessValue::jet4Text(bytes), text);
}

void TestAccessValue::formatsByHeader()
{
    QByteArray header(AccessHeaderSize, '\0');
    header.replace(4, 15, "Standard Jet DB");
    QCOMPARE(accessFormatOfHeader(header), AccessFormat::Jet3);
    header[0x14] = 1;
    QCOMPARE(accessFormatOfHeader(header), AccessFormat::Jet4);
    header[0x14] = 3;
    QCOMPARE(accessFormatOfHeader(header), AccessFormat::Ace);
    header.replace(4, 15, "Standard ACE DB");
    QCOMPARE(accessFormatOfHeader(header), AccessFormat::Ace);
    QCOMPARE(accessFormatOfHeader(header.left(AccessHeaderSize - 1)), AccessFormat::None);
    QCOMPARE(accessFormatOfHeader("SQLite format 3\0\0\0\0\0\0\0\0"), AccessFormat::None);
    header.replace(4, 15, "Standard Jet Db");
    QCOMPARE(accessFormatOfHeader(header), AccessFormat::None);
    QCOMPARE(accessPageSize(AccessFormat::Jet3), 2048);
    QCOMPARE(accessPageSize(AccessFormat::Jet4), 4096);
}

QTEST_GUILESS_MAIN(TestAccessValue)
#include "test_accessvalue.moc"
