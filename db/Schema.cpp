#include "db/Schema.h"

#include "core/DbError.h"
#include "db/FieldInfo.h"
#include "db/Sqlite.h"

#include <algorithm>

namespace Schema {

QStringList referenceTables()
{
    return {Disciplines, Criteria, IctTools};
}

namespace {

// Column names of a table in their order, empty when the file has no such table; with
// `types`, their declared types too.
QStringList columnsOf(const SqliteDatabase &db, const QString &table, QStringList *types = nullptr)
{
    SqliteStatement exists(
        db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1"));
    exists.bind(1, table);
    if (!exists.step())
        return {};
    SqliteStatement info(db, QStringLiteral("SELECT name, type FROM pragma_table_info(?1)"));
    info.bind(1, table);
    QStringList columns;
    while (info.step()) {
        columns.append(info.value(0).toString());
        if (types)
            types->append(info.value(1).toString());
    }
    return columns;
}

} // namespace

QStringList missingParts(const SqliteDatabase &db)
{
    QStringList missing;
    for (const QString &table : referenceTables()) {
        QStringList types;
        if (columnsOf(db, table, &types).isEmpty())
            missing.append(QStringLiteral("таблица «%1»").arg(table));
        else if (std::none_of(types.cbegin(), types.cend(), holdsText))
            missing.append(
                QStringLiteral("текстовый столбец для названий в таблице «%1»").arg(table));
    }
    const QStringList values = columnsOf(db, Values);
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

QStringList indexStatements()
{
    return {
        // The efficiency analysis reads every value of one criterion with its discipline: the
        // covering index holds all three, so the table itself is not read at all.
        QStringLiteral("CREATE INDEX IF NOT EXISTS Значения_критерий_дисциплина_значение ON "
                       "Значения (Критерий, Дисциплина, Значение)"),
        // The line chart and the grid select by discipline, criterion (and ICT tool); rows of
        // equal names stay in the order they were entered.
        QStringLiteral("CREATE INDEX IF NOT EXISTS Значения_дисциплина_критерий_средство ON "
                       "Значения (Дисциплина, Критерий, Средство_ИКТ)"),
    };
}

void create(SqliteDatabase &db)
{
    db.exec(QStringLiteral("PRAGMA journal_mode = WAL;"
                           "BEGIN;"
                           "CREATE TABLE Дисциплины (Название TEXT);"
                           "CREATE TABLE Критерии (Название TEXT);"
                           "CREATE TABLE Средство_ИКТ (Название TEXT);"
                           "CREATE TABLE Значения (Дисциплина TEXT, Критерий TEXT, "
                           "Средство_ИКТ TEXT, Значение REAL, Дата TEXT);") +
            indexStatements().join(u';') + QStringLiteral(";COMMIT;"));
}

QStringList missingIndexes(const SqliteDatabase &db)
{
    QStringList missing;
    for (const QString &statement : indexStatements()) {
        const QString name = statement.section(u' ', 5, 5);
        SqliteStatement exists(
            db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?1"));
        exists.bind(1, name);
        if (!exists.step())
            missing.append(name);
    }
    return missing;
}

void addIndexes(SqliteDatabase &db)
{
    db.exec(QStringLiteral("BEGIN;") + indexStatements().join(u';') +
            QStringLiteral(";ANALYZE Значения;COMMIT;"));
}

} // namespace Schema
