#pragma once

#include <QString>

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" followed directly by the path.
QString connectionString(const QString &databasePath);

// The path of a connection string: everything after "Data Source=" to the end, so a path
// that holds a semicolon survives. Throws DbError when there is no data source.
QString databasePathOf(const QString &connectionString);
