#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class PgSession;
class SqliteDatabase;

// The four tables of a monitoring database and the columns the program names.
namespace Schema {

inline const QString Disciplines = QStringLiteral("Дисциплины");
inline const QString Criteria = QStringLiteral("Критерии");
inline const QString IctTools = QStringLiteral("Средство_ИКТ");
inline const QString Values = QStringLiteral("Значения");

inline const QString DisciplineColumn = QStringLiteral("Дисциплина");
inline const QString CriterionColumn = QStringLiteral("Критерий");
inline const QString IctToolColumn = QStringLiteral("Средство_ИКТ");
inline const QString ValueColumn = QStringLiteral("Значение");

// On a server, each table's rows are told apart by this key column, which is not shown.
inline const QString ServerKeyColumn = QStringLiteral("Орвинта_ключ");
// The function that tells how many statements have changed a server's tables so far.
inline const QString ServerChangeCount = QStringLiteral("Орвинта_число_изменений");

// The three reference tables, in the order in which the lists editor shows them.
QStringList referenceTables();

// A table's column names in their order, and their declared types; none when there is no
// such table.
struct TableColumns
{
    QStringList names;
    QStringList types;
};
using ColumnReader = std::function<TableColumns(const QString &table)>;

// What the database lacks of the four tables and the required columns, in words for the user;
// empty when it has everything.
QStringList missingParts(const ColumnReader &columnsOf);
QStringList missingParts(const SqliteDatabase &db);
QStringList missingParts(PgSession &server);

// Creates the four tables and their indexes in an empty database: reference tables with a
// first column "Название", "Значения" as Дисциплина, Критерий, Средство_ИКТ TEXT, Значение REAL,
// Дата TEXT.
void create(SqliteDatabase &db);

// What create() makes for large files to read fast, and a file made without may lack: the
// indexes the analyses and the grids are read by, and a count of the values kept by triggers.
// By name, what the file lacks; and adding it all to a file.
QStringList missingSpeedups(const SqliteDatabase &db);
void addSpeedups(SqliteDatabase &db);

// The same on a server database, which the server's owner of the tables may change: the four
// tables, each with its key column, the triggers that count changes, and the indexes.
void create(PgSession &server);
// Whether the server database holds any of the four tables.
bool hasAnyTable(PgSession &server);
QStringList missingSpeedups(PgSession &server);
void addSpeedups(PgSession &server);

// The table that counts the values, and its triggers.
inline const QString RowCounter = QStringLiteral("Орвинта_число_строк");
inline const QString RowCounterInsert = QStringLiteral("Орвинта_строка_добавлена");
inline const QString RowCounterDelete = QStringLiteral("Орвинта_строка_удалена");

} // namespace Schema
