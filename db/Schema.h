#pragma once

#include <QString>
#include <QStringList>

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

// The three reference tables, in the order in which the lists editor shows them.
QStringList referenceTables();

// What the file lacks of the four tables and the required columns, in words for the user;
// empty when the file has everything.
QStringList missingParts(const SqliteDatabase &db);

// Creates the four tables and their indexes in an empty database: reference tables with a
// first column "Название", "Значения" as Дисциплина, Критерий, Средство_ИКТ TEXT, Значение REAL,
// Дата TEXT.
void create(SqliteDatabase &db);

// The indexes the analyses and the grids are read by (see create()), by name, that the file
// lacks; and adding them to a file made without them.
QStringList missingIndexes(const SqliteDatabase &db);
void addIndexes(SqliteDatabase &db);

} // namespace Schema
