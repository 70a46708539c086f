#pragma once

#include <QString>
#include <functional>

class SqliteDatabase;

// Makes a new database file with the four tables and hands it to `fill`. A file that is
// there already is never overwritten, and a file that a failure leaves half-made is removed
// again. Throws DbError.
void makeNewDatabaseFile(const QString &path, const std::function<void(SqliteDatabase &)> &fill);
