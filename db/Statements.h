#pragma once

#include "db/Backend.h"

// Every statement that a window runs, by what it reads, written in the program's dialect as
// the windows have always written them. Where a window splices a user's text in between ("…"),
// the statement holds a parameter instead ("=(?)"), and the text goes to the database as that
// parameter's value, exactly as typed; displayText() gives the statement with it written in.
namespace Statements {

// Every row of a table: "SELECT * FROM <table>".
Source allRows(const QString &table);
// The entry window's grid: the values of one discipline and one criterion.
Source valuesOf(const QString &discipline, const QString &criterion);
// One line of the line chart: the values of a discipline, criterion and ICT tool.
Source selectionValues(const QString &discipline, const QString &criterion, const QString &ictTool);
// The pie: the values of one criterion with their disciplines.
Source criterionValues(const QString &criterion);

} // namespace Statements
