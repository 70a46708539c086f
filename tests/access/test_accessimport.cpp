#include "tests/access/AccessTestTools.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// The folder where npm installed mdb-reader: $ORVINTA_MDB_READER_DIR, else the build's.
QString oracleFolder()
{
    const QString fromEnvironment = qEnvironmentVariable("ORVINTA_MDB_READER_DIR");
    return fromEnvironment.isEmpty() ? QStringLiteral(ORVINTA_MDB_READER_DIR) : fromEnvironment;
}

// Every table of an Access file as mdb-reader reads it, or what kept it from reading. A
// missing reader is a failure: these comparisons must never pass by comparing nothing.
QJsonArray readWithOracle(const QString &accessFile, QString &problem)
{
    const QString folder = oracleFolder();
    if (!QFileInfo::exists(folder + u"/node_modules/mdb-reader/package.json"_s)) {
        problem = u"mdb-reader is not installed in %1 (./scripts/test installs it)"_s.arg(folder);
        return {};
    }
    QProcess node;
    node.setWorkingDirectory(folder);
    node.start(u"node"_s,
               {u"--input-type=module"_s, u"-e"_s,
                QString::fromUtf8(fileBytes(QStringLiteral(ORVINTA_ORACLE_SCRIPT))), accessFile});
    if (!node.waitForFinished(60000) || node.exitCode() != 0) {
        problem = u"mdb-reader failed: "_s + QString::fromUtf8(node.readAllStandardError());
        return {};
    }
    const QJsonArray tables = QJsonDocument::fromJson(node.readAllStandardOutput()).array();
    if (tables.isEmpty())
        problem = u"mdb-reader found no tables in "_s + accessFile;
    return tables;
}

// How much of a date the import writes: the same for a whole column, the least that loses
// nothing of any of its values.
enum class DateForm
{
    Date,
    Seconds,
    Milliseconds
};

// The moment of an oracle date. mdb-reader takes a date before 1899-12-30 as a plain count
// of days, so its time of day runs backwards there; Access (and libmdb) keep the fraction
// as a positive time of the day, and so does the import.
QDateTime oracleMoment(const QJsonValue &oracle)
{
    const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    QDateTime moment = QDateTime::fromString(oracle[u"date"].toString(), Qt::ISODateWithMs);
    if (moment < epoch && moment.time() != QTime(0, 0)) {
        const double days = double(epoch.msecsTo(moment)) / 86400000.0;
        double whole = 0;
        const double fraction = std::abs(std::modf(days, &whole));
        moment = epoch.addDays(qint64(whole)).addMSecs(std::llround(fraction * 86400000));
    }
    return moment;
}

DateForm dateFormOf(const QJsonArray &rows, int column)
{
    DateForm form = DateForm::Date;
    for (const QJsonValue &row : rows) {
        const QJsonValue value = row.toArray().at(column);
        if (!value.isObject())
            continue;
        const QTime time = oracleMoment(value).time();
        if (time.msec() != 0)
            return DateForm::Milliseconds;
        if (time != QTime(0, 0))
            form = DateForm::Seconds;
    }
    return form;
}

QString expectedDate(const QJsonValue &oracle, DateForm form)
{
    const QDateTime moment = oracleMoment(oracle);
    const QString date = u"%1-%2"_s.arg(moment.date().year(), 4, 10, QLatin1Char('0'))
                             .arg(moment.toString(u"MM-dd"_s));
    switch (form) {
    case DateForm::Date:
        return date;
    case DateForm::Seconds:
        return date + moment.toString(u"'T'HH:mm:ss"_s);
    case DateForm::Milliseconds:
        return date + moment.toString(u"'T'HH:mm:ss.zzz"_s);
    }
    return {};
}

// Whether a value of the native file is the oracle's value of an Access column type.
bool sameValue(const QVariant &mine, const QJsonValue &oracle, const QString &type, DateForm form)
{
    if (oracle.isNull())
        return mine.isNull();
    if (mine.isNull())
        return false;
    if (type == u"boolean")
        return mine == QVariant(qint64(oracle.toBool() ? 1 : 0));
    if (type == u"byte" || type == u"integer" || type == u"long")
        return mine.typeId() == QMetaType::LongLong &&
               mine.toLongLong() == qint64(oracle.toDouble());
    if (type == u"double")
        return mine.typeId() == QMetaType::Double && mine.toDouble() == oracle.toDouble();
    if (type == u"float")
        return mine.typeId() == QMetaType::Double &&
               float(mine.toDouble()) == float(oracle.toDouble());
    if (type == u"currency")
        return mine.typeId() == QMetaType::Double &&
               mine.toDouble() == oracle.toString().toDouble();
    if (type == u"datetime")
        return mine.toString() == expectedDate(oracle, form);
    if (type == u"repid")
        return mine.toString() == u'{' + oracle.toString().toUpper() + u'}';
    if (type == u"ole" || type == u"binary")
        return mine.toByteArray() == QByteArray::fromHex(oracle[u"hex"].toString().toLatin1());
    if (type == u"text" || type == u"memo" || type == u"numeric")
        return mine.typeId() == QMetaType::QString && mine.toString() == oracle.toString();
    return false;
}

// Compares a whole native file with the oracle's reading of its Access file.
void compareWithOracle(const QString &accessFile, const QString &nativeFile)
{
    QString problem;
    const QJsonArray tables = readWithOracle(accessFile, problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QStringList oracleNames;
    for (const QJsonValue &table : tables)
        oracleNames.append(table[u"name"].toString());
    QStringList mine = nativeTables(nativeFile);
    mine.sort();
    oracleNames.sort();
    QCOMPARE(mine, oracleNames);

    for (const QJsonValue &table : tables) {
        const QString name = table[u"name"].toString();
        const QJsonArray columns = table[u"columns"].toArray();
        QStringList columnNames;
        for (const QJsonValue &column : columns)
            columnNames.append(column[u"name"].toString());
        QCOMPARE(nativeColumns(nativeFile, name), columnNames);

        const QList<QVariantList> rows = nativeRows(nativeFile, name);
        const QJsonArray oracleRows = table[u"rows"].toArray();
        QCOMPARE(rows.size(), oracleRows.size());
        QList<DateForm> forms;
        for (int c = 0; c < columns.size(); ++c)
            forms.append(dateFormOf(oracleRows, c));
        for (int r = 0; r < rows.size(); ++r) {
            const QJsonArray oracleRow = oracleRows.at(r).toArray();
            for (int c = 0; c < columns.size(); ++c) {
                const QString type = columns.at(c)[u"type"].toString();
                QVERIFY2(sameValue(rows.at(r).at(c), oracleRow.at(c), type, forms.at(c)),
                         qPrintable(u"%1.%2 row %3 (%4): import %5, mdb-reader %6"_s.arg(
                             name, columnNames.at(c), QString::number(r), type,
                             rows.at(r).at(c).toString().left(60),
                             QString::fromUtf8(QJsonDocument(QJsonArray{oracleRow.at(c)})
                                                   .toJson(QJsonDocument::Compact))
                                 .left(60))));
            }
        }
    }
}

// A copy of an Access file whose table definitions count `shift` rows more (or fewer, down
// to none) than their data pages hold, as Access itself sometimes leaves them. The system
// catalog (page 2) and the continuation pages of long definitions are left alone.
QString withStaleRowCounts(const QString &source, int shift, const QString &copy)
{
    QByteArray bytes = fileBytes(source);
    const bool jet3 = bytes.at(0x14) == 0;
    const qsizetype page = jet3 ? 2048 : 4096;
    const qsizetype countAt = jet3 ? 12 : 16;
    const auto isDefinition = [&](qsizetype p) {
        return bytes.at(p * page) == 2 && bytes.at(p * page + 1) == 1;
    };
    QSet<quint32> continuations;
    for (qsizetype p = 0; p < bytes.size() / page; ++p) {
        if (isDefinition(p))
            continuations.insert(qFromLittleEndian<quint32>(bytes.constData() + p * page + 4));
    }
    for (qsizetype p = 3; p < bytes.size() / page; ++p) {
        if (!isDefinition(p) || continuations.contains(quint32(p)))
            continue;
        char *count = bytes.data() + p * page + countAt;
        qToLittleEndian<quint32>(
            quint32(std::max(0, int(qFromLittleEndian<quint32>(count)) + shift)), count);
    }
    writeBytes(copy, bytes);
    return copy;
}

} // namespace

class TestAccessImport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { requireAccessTestFiles(); }
    void matchesIndependentReader_data();
    void matchesIndependentReader();
    void staleRowCountsReadEveryRow_data();
    void staleRowCountsReadEveryRow();
    void emptyTextStaysApartFromNull();
    void unicodeAndTypesSurvive();
    void codePageCanBeNamed();
    void reportsTablesAndTheCheck();
    void refusesWhatItCannotDo();
};

void TestAccessImport::matchesIndependentReader_data()
{
    QTest::addColumn<QString>("file");
    const QStringList files = accessTestFileNames();
    QVERIFY(files.size() >= 5);
    for (const QString &file : files)
        QTest::newRow(qPrintable(file)) << file;
}

void TestAccessImport::matchesIndependentReader()
{
    QFETCH(QString, file);
    QTemporaryDir dir;
    const QString result = dir.filePath(u"перенесено.mdb"_s);
    const ToolRun run = runOrvintaDb({u"import"_s, accessTestFile(file), result});
    // None of the test files has the program's four tables: converted, but unsuitable.
    QVERIFY2(run.code == 3, qPrintable(run.err));
    QVERIFY2(!run.err.contains(u"--code-page"_s), qPrintable(run.err)); // no code page doubted
    QCOMPARE(filesIn(dir.path()), QStringList({u"перенесено.mdb"_s}));
    compareWithOracle(accessTestFile(file), result);
}

void TestAccessImport::staleRowCountsReadEveryRow_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("shift");
    QTest::newRow("Jet 3, counted none") << u"testIndexCodesV1997.mdb"_s << -1000000;
    QTest::newRow("Jet 3, counted more") << u"test2V1997.mdb"_s << 5;
    QTest::newRow("Jet 4, counted fewer") << u"testUnicodeCompV2003.mdb"_s << -3;
    QTest::newRow("Jet 4, counted more") << u"test2V2003.mdb"_s << 15;
}

void TestAccessImport::staleRowCountsReadEveryRow()
{
    QFETCH(QString, file);
    QFETCH(int, shift);
    QTemporaryDir dir;
    const QString stale =
        withStaleRowCounts(accessTestFile(file), shift, dir.filePath(u"старые.mdb"_s));
    const QString result = dir.filePath(u"перенесено.mdb"_s);
    const ToolRun run = runOrvintaDb({u"import"_s, stale, result});
    QVERIFY2(run.code == 3, qPrintable(run.err));
    // Said, not refused: every row of the data pages is there.
    QVERIFY2(run.err.contains(u"Предупреждение: в описании таблицы «"_s), qPrintable(run.err));
    compareWithOracle(stale, result);
}

void TestAccessImport::emptyTextStaysApartFromNull()
{
    // Table12 of this file: row1 has data1 NULL. Setting its bit in the row's null mask
    // makes it a present text of no characters, which libmdb alone reads as NULL too.
    QByteArray bytes = fileBytes(accessTestFile(u"testIndexCodesV1997.mdb"_s));
    constexpr qsizetype NullMask = 85 * 2048 + 2028;
    QCOMPARE(int(bytes.at(NullMask)), 0x05);
    bytes[NullMask] = 0x07;
    QTemporaryDir dir;
    const QString patched = dir.filePath(u"empty.mdb"_s);
    writeBytes(patched, bytes);
    const QString result = dir.filePath(u"empty.db"_s);
    QCOMPARE(runOrvintaDb({u"import"_s, patched, result}).code, 3);

    const QList<QVariantList> rows = nativeRows(result, u"Table12"_s);
    QCOMPARE(rows.at(1).at(1).typeId(), QMetaType::QString);
    QCOMPARE(rows.at(1).at(1).toString(), QString());
    QVERIFY(rows.at(3).at(1).isNull()); // row3's data1 is still NULL
    QVERIFY(rows.at(2).at(2).isNull()); // and so is a NULL number
    compareWithOracle(patched, result);
}

void TestAccessImport::unicodeAndTypesSurvive()
{
    QTemporaryDir dir;
    const QString unicode = dir.filePath(u"unicode.db"_s);
    QCOMPARE(
        runOrvintaDb({u"import"_s, accessTestFile(u"testUnicodeCompV2003.mdb"_s), unicode}).code,
        3);
    const QList<QVariantList> rows = nativeRows(unicode, u"Table"_s);
    QCOMPARE(rows.at(2).at(1).toString(), u"Мир"_s);
    QCOMPARE(rows.at(4).at(1).toString(), u"漢字仮名交じり文"_s);

    const QString codes = dir.filePath(u"codes.db"_s);
    QCOMPARE(runOrvintaDb({u"import"_s, accessTestFile(u"testIndexCodesV1997.mdb"_s), codes}).code,
             3);
    const struct
    {
        const char16_t *table;
        const char16_t *type;
    } declared[] = {{u"Table10", u"INTEGER"}, {u"Table9", u"INTEGER"},  {u"Table5", u"REAL"},
                    {u"Table8", u"REAL"},     {u"Table6", u"DATETIME"}, {u"Table13", u"TEXT"}};
    for (const auto &[table, type] : declared) {
        QStringList types;
        nativeColumns(codes, QString::fromUtf16(table), &types);
        QCOMPARE(types.last(), QString::fromUtf16(type));
    }
    // A Single as Access shows it, a date before 1899 with its time, an ID with braces.
    QCOMPARE(nativeRows(codes, u"Table5"_s).at(10).at(1), QVariant(1.1));
    QCOMPARE(nativeRows(codes, u"Table6"_s).at(6).at(1), QVariant(u"1899-09-27T10:19:15"_s));
    QCOMPARE(nativeRows(codes, u"Table13"_s).at(0).at(1),
             QVariant(u"{8E39276A-BCA8-4AC4-891E-49911D8438DD}"_s));

    const QString wide = dir.filePath(u"wide.db"_s);
    QCOMPARE(runOrvintaDb({u"import"_s, accessTestFile(u"test2V2003.mdb"_s), wide}).code, 3);
    QStringList types;
    const QStringList columns = nativeColumns(wide, u"MSP_PROJECTS"_s, &types);
    QCOMPARE(columns.size(), 74);
    QCOMPARE(types.at(columns.indexOf(u"PROJ_PROP_AUTHOR"_s)), u"TEXT"_s);
    QCOMPARE(types.at(columns.indexOf(u"RESERVED_BINARY_DATA"_s)), u"BLOB"_s);
    const QVariantList row = nativeRows(wide, u"MSP_PROJECTS"_s).at(0);
    QCOMPARE(row.at(columns.indexOf(u"RESERVED_BINARY_DATA"_s)).toByteArray().size(), 22970);
    QCOMPARE(row.at(columns.indexOf(u"PROJ_PROP_AUTHOR"_s)).toString().size(), 348);
}

void TestAccessImport::codePageCanBeNamed()
{
    QTemporaryDir dir;
    const QString own = dir.filePath(u"own.db"_s);
    const QString cyrillic = dir.filePath(u"cyrillic.db"_s);
    const QString source = accessTestFile(u"test2V1997.mdb"_s);
    QCOMPARE(runOrvintaDb({u"import"_s, source, own}).code, 3);
    QCOMPARE(runOrvintaDb({u"import"_s, u"--code-page"_s, u"1251"_s, source, cyrillic}).code, 3);
    const int symbol = nativeColumns(own, u"MSP_PROJECTS"_s).indexOf(u"PROJ_OPT_CURRENCY_SYMBOL"_s);
    // Byte A3 is the pound sign in the file's own code page 1252 and "Ј" in 1251.
    QCOMPARE(nativeRows(own, u"MSP_PROJECTS"_s).at(0).at(symbol).toString(), u"£"_s);
    QCOMPARE(nativeRows(cyrillic, u"MSP_PROJECTS"_s).at(0).at(symbol).toString(), u"Ј"_s);

    // A file whose header names 1252 but whose text is Cyrillic in 1251: said, not guessed.
    const QString mislabelled = withCyrillicText(dir.filePath(u"кириллица.mdb"_s));
    const ToolRun guessed =
        runOrvintaDb({u"import"_s, mislabelled, dir.filePath(u"как есть.db"_s)});
    QCOMPARE(guessed.code, 3);
    QVERIFY2(guessed.err.contains(u"кодовой странице 1252"_s) &&
                 guessed.err.contains(u"--code-page 1251"_s),
             qPrintable(guessed.err));
    const ToolRun told = runOrvintaDb(
        {u"import"_s, u"--code-page"_s, u"1251"_s, mislabelled, dir.filePath(u"верно.db"_s)});
    QVERIFY2(!told.err.contains(u"--code-page"_s), qPrintable(told.err));
    bool cyrillicRead = false;
    const QList<QVariantList> rows = nativeRows(dir.filePath(u"верно.db"_s), u"MSP_PROJECTS"_s);
    for (const QVariant &value : rows.at(0))
        cyrillicRead = cyrillicRead || value.toString().contains(u"актгкл еат"_s);
    QVERIFY(cyrillicRead);

    const ToolRun unknown = runOrvintaDb(
        {u"import"_s, u"--code-page"_s, u"no-such-page"_s, source, dir.filePath(u"x.db"_s)});
    QCOMPARE(unknown.code, 1);
    QVERIFY2(unknown.err.contains(u"no-such-page"_s), qPrintable(unknown.err));
    QVERIFY(!QFileInfo::exists(dir.filePath(u"x.db"_s)));
}

void TestAccessImport::reportsTablesAndTheCheck()
{
    QTemporaryDir dir;
    const QString result = dir.filePath(u"codes.mdb"_s);
    const ToolRun run =
        runOrvintaDb({u"import"_s, accessTestFile(u"testIndexCodesV1997.mdb"_s), result});
    QCOMPARE(run.code, 3);
    QVERIFY2(run.out.contains(u"таблиц 29"_s), qPrintable(run.out));
    QVERIFY(run.out.contains(u"  Table1: строк 275\n"_s));
    QVERIFY(run.out.contains(u"  Table10_desc: строк 5\n"_s));
    QVERIFY2(run.err.contains(u"не подходит"_s) && run.err.contains(u"таблица «Дисциплины»"_s),
             qPrintable(run.err));
}

void TestAccessImport::refusesWhatItCannotDo()
{
    QTemporaryDir dir;
    const QString existing = dir.filePath(u"есть.mdb"_s);
    writeBytes(existing, "данные");
    const ToolRun overwrite =
        runOrvintaDb({u"import"_s, accessTestFile(u"noRoman.mdb"_s), existing});
    QCOMPARE(overwrite.code, 1);
    QVERIFY(overwrite.err.contains(u"уже существует"_s));
    QCOMPARE(fileBytes(existing), QByteArray("данные"));

    const ToolRun notAccess = runOrvintaDb({u"import"_s, existing, dir.filePath(u"new.mdb"_s)});
    QCOMPARE(notAccess.code, 1);
    QVERIFY2(notAccess.err.contains(u"не является файлом Access"_s), qPrintable(notAccess.err));

    const ToolRun missing =
        runOrvintaDb({u"import"_s, dir.filePath(u"нет.mdb"_s), dir.filePath(u"new.mdb"_s)});
    QCOMPARE(missing.code, 1);
    QVERIFY(missing.err.contains(u"не найден"_s));
    QCOMPARE(filesIn(dir.path()), QStringList({u"есть.mdb"_s}));

    for (const QStringList &arguments :
         {QStringList({u"import"_s, u"a.mdb"_s}),
          QStringList({u"import"_s, u"--time-limit"_s, u"0"_s, u"a"_s, u"b"_s}),
          QStringList({u"import"_s, u"--bogus"_s, u"1"_s, u"a"_s, u"b"_s})}) {
        const ToolRun run = runOrvintaDb(arguments);
        QCOMPARE(run.code, 2);
        QVERIFY(run.err.contains(u"Использование"_s));
    }
}

QTEST_GUILESS_MAIN(TestAccessImport)
#include "test_accessimport.moc"
