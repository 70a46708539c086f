#include "db/Schema.h"

#include "access/AccessFormat.h"
#include "access/AccessSnapshot.h"
#include "core/DbError.h"
#include "core/FileSystem.h"
#include "db/FieldInfo.h"
#include "db/Sqlite.h"

#include <QFileInfo>
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

void create(SqliteDatabase &db)
{
    db.exec(
        QStringLiteral("PRAGMA journal_mode = WAL;"
                       "BEGIN;"
                       "CREATE TABLE Дисциплины (Название TEXT);"
                       "CREATE TABLE Критерии (Название TEXT);"
                       "CREATE TABLE Средство_ИКТ (Название TEXT);"
                       "CREATE TABLE Значения (Дисциплина TEXT, Критерий TEXT, Средство_ИКТ TEXT,"
                       " Значение REAL, Дата TEXT);"
                       // The efficiency analysis selects by criterion; the grid filter and the line
                       // chart by discipline and criterion. Neither index holds a third column, so
                       // rows of equal keys still come in the order they were entered.
                       "CREATE INDEX Значения_по_критерию ON Значения (Критерий);"
                       "CREATE INDEX Значения_по_дисциплине ON Значения (Дисциплина, Критерий);"
                       "COMMIT;"));
}

} // namespace Schema

std::unique_ptr<SqliteDatabase> openMonitoringDatabase(const QString &path)
{
    const QFileInfo file(path);
    if (path.isEmpty())
        throw DbError(QStringLiteral("Файл базы данных не указан"));
    if (isMissingFile(path))
        throw DbError(QStringLiteral("Файл базы данных «%1» не найден").arg(path));
    if (file.isDir())
        throw DbError(QStringLiteral("«%1» — это папка, а не файл базы данных").arg(path));
    if (const QString problem = fileUseProblem(path, FileUse::Read); !problem.isEmpty())
        throw DbError(
            QStringLiteral("Не удалось открыть файл базы данных «%1»: %2").arg(path, problem));
    if (file.size() == 0)
        throw DbError(QStringLiteral("Файл «%1» пуст: это не база данных").arg(path));

    // An SQLite file is opened as it is. Only a file that SQLite refuses is looked at as an
    // Access file: reading its header through a handle of our own would, on closing that
    // handle, drop the locks that the program's other connections hold on an SQLite file.
    auto db = std::make_unique<SqliteDatabase>(path, SqliteDatabase::OpenMode::ReadWrite);
    QStringList missing;
    try {
        missing = Schema::missingParts(*db);
    } catch (const DbError &e) {
        db.reset();
        // A file that another program holds is in use, not damaged; a wait the user
        // cancelled, or a file the file system keeps from being read (a journal that cannot
        // be made beside it), is not damaged either, and its message names the cause.
        if (e.kind() == DbErrorKind::Busy) {
            throw DbError(
                QStringLiteral("Файл базы данных «%1» сейчас занят другой программой: "
                               "закройте её или подождите и повторите действие (SQLite: %2)")
                    .arg(path, e.databaseText()),
                e.kind(), e.databaseText());
        }
        if (e.kind() == DbErrorKind::Cancelled || e.kind() == DbErrorKind::FileSystem)
            throw;
        if (accessFormatOf(path) == AccessFormat::None) {
            throw DbError(
                QStringLiteral("Файл «%1» не является базой данных или повреждён: %2")
                    .arg(path, e.databaseText().isEmpty() ? e.message() : e.databaseText()),
                DbErrorKind::Damaged, e.databaseText());
        }
        // An Access file is read through a native snapshot of it, which nothing may change.
        db = std::make_unique<SqliteDatabase>(accessSnapshotOf(path),
                                              SqliteDatabase::OpenMode::ReadWrite);
        db->exec(QStringLiteral("PRAGMA query_only = ON"));
        missing = Schema::missingParts(*db);
    }
    if (!missing.isEmpty()) {
        throw DbError(QStringLiteral("В базе данных «%1» нет: %2")
                          .arg(path, missing.join(QStringLiteral(", "))));
    }
    // The file keeps the journal mode it has: record sets read in short steps that end
    // their statements, so no reader stands in the way of a writer in any mode.
    return db;
}
