#pragma once

#include <QString>

// Every statement that a window runs, by what it reads, written in the program's dialect.
// A user's text is spliced in between ("…") exactly as typed, its double quotes escaped, so
// it can never end the literal early.
namespace Statements {

// Every row of a table: "SELECT * FROM <table>".
QString allRows(const QString &table);
// The entry window's grid: the values of one discipline and one criterion.
QString valuesOf(const QString &discipline, const QString &criterion);
// One line of the line chart: the values of a discipline, criterion and ICT tool.
QString selectionValues(const QString &discipline, const QString &criterion,
                        const QString &ictTool);
// The pie: the values of one criterion with their disciplines.
QString criterionValues(const QString &criterion);

} // namespace Statements
