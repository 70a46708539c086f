#include "db/Schema.h"

#include "core/DbError.h"
#include "core/FileSystem.h"
#include "db/FieldInfo.h"
#include "db/Sqlite.h"

#include <algorithm>

namespace Schema {

QStringList referenceTables()
{
    return {Disciplines, Criteria, IctTools};
}

namespace {

// Column names of a table of the file in their order, and their declared types.
TableColumns columnsOf(const SqliteDatabase &db, const QString &table)
{
    SqliteStatement exists(
        db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1"));
    exists.bind(1, table);
    if (!exists.step())
        return {};
    SqliteStatement info(db, QStringLiteral("SELECT name, type FROM pragma_table_info(?1)"));
    info.bind(1, table);
    TableColumns columns;
    while (info.step()) {
        columns.names.append(info.value(0).toString());
        columns.types.append(info.value(1).toString());
    }
    return columns;
}

} // namespace

QStringList missingParts(const SqliteDatabase &db)
{
    return missingParts([&db](const QString &table) { return columnsOf(db, table); });
}

QStringList missingParts(const ColumnReader &columnsOf)
{
    QStringList missing;
    for (const QString &table : referenceTables()) {
        const QStringList types = columnsOf(table).types;
        if (types.isEmpty())
            missing.append(QStringLiteral("таблица «%1»").arg(table));
        else if (std::none_of(types.cbegin(), types.cend(), holdsText))
            missing.append(
                QStringLiteral("текстовый столбец для названий в таблице «%1»").arg(table));
    }
    const QStringList values = columnsOf(Values).names;
    if (values.isEmpty()) {
        missing.append(QStringLiteral("таблица «%1»").arg(Values));
        return missing;
    }
    const QStringList required = {DisciplineColumn, CriterionColumn, IctToolColumn, ValueColumn};
    for (int i = 0; i < required.size(); ++i) {
        if (i >= values.size() || values.at(i) != required.at(i)) {
            missing.append(QStringLiteral("столбец «%1» на %2-м месте таблицы «%3»")
                               .arg(required.at(i))
                               .arg(i + 1)
                               .arg(Values));
        }
    }
    if (values.size() < 5)
        missing.append(QStringLiteral("столбец даты на 5-м месте таблицы «%1»").arg(Values));
    return missing;
}

namespace {

// What makes a large file fast to read, as orvinta-db makes or adds it: by name, its kind in
// sqlite_master, and the statements that make it.
struct Speedup
{
    QString name;
    QString type;
    QStringList statements;
};

QList<Speedup> speedups()
{
    return {
        // The efficiency analysis reads every value of one criterion with its discipline: the
        // covering index holds all three, so the table itself is not read at all.
        {QStringLiteral("Значения_критерий_дисциплина_значение"),
         QStringLiteral("index"),
         {QStringLiteral("CREATE INDEX IF NOT EXISTS Значения_критерий_дисциплина_значение ON "
                         "Значения (Критерий, Дисциплина, Значение)")}},
        // The line chart and the grid select by discipline, criterion (and ICT tool); rows of
        // equal names stay in the order they were entered.
        {QStringLiteral("Значения_дисциплина_критерий_средство"),
         QStringLiteral("index"),
         {QStringLiteral("CREATE INDEX IF NOT EXISTS Значения_дисциплина_критерий_средство ON "
                         "Значения (Дисциплина, Критерий, Средство_ИКТ)")}},
        // The number of values, kept by triggers: a grid of millions of rows knows it at once,
        // where counting them would take a while.
        {RowCounter,
         QStringLiteral("table"),
         {QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Таблица TEXT PRIMARY KEY, Строк INTEGER "
                         "NOT NULL)")
              .arg(RowCounter),
          QStringLiteral("INSERT OR REPLACE INTO %1 VALUES ('Значения', (SELECT count(*) FROM "
                         "Значения))")
              .arg(RowCounter),
          QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1 AFTER INSERT ON Значения BEGIN UPDATE "
                         "%2 SET Строк = Строк + 1 WHERE Таблица = 'Значения'; END")
              .arg(RowCounterInsert, RowCounter),
          QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1 AFTER DELETE ON Значения BEGIN UPDATE "
                         "%2 SET Строк = Строк - 1 WHERE Таблица = 'Значения'; END")
              .arg(RowCounterDelete, RowCounter)}},
    };
}

QString speedupStatements()
{
    QStringList statements;
    for (const Speedup &speedup : speedups())
        statements += speedup.statements;
    return statements.join(u';');
}

} // namespace

void create(SqliteDatabase &db)
{
    // WAL needs memory shared by every user of the file: a file on a network share keeps its
    // rollback journal.
    const bool onShare = fileSystemKind(db.path()) == FileSystemKind::Network;
    db.exec((onShare ? QString() : QStringLiteral("PRAGMA journal_mode = WAL;")) +
            QStringLiteral("BEGIN;"
                           "CREATE TABLE Дисциплины (Название TEXT);"
                           "CREATE TABLE Критерии (Название TEXT);"
                           "CREATE TABLE Средство_ИКТ (Название TEXT);"
                           "CREATE TABLE Значения (Дисциплина TEXT, Критерий TEXT, "
                           "Средство_ИКТ TEXT, Значение REAL, Дата TEXT);") +
            speedupStatements() + QStringLiteral(";COMMIT;"));
}

QStringList missingSpeedups(const SqliteDatabase &db)
{
    QStringList missing;
    for (const Speedup &speedup : speedups()) {
        SqliteStatement exists(
            db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = ?1 AND name = ?2"));
        exists.bind(1, speedup.type);
        exists.bind(2, speedup.name);
        if (!exists.step())
            missing.append(speedup.name);
    }
    return missing;
}

void addSpeedups(SqliteDatabase &db)
{
    db.exec(QStringLiteral("BEGIN;") + speedupStatements() +
            QStringLiteral(";ANALYZE Значения;COMMIT;"));
}

} // namespace Schema
