#pragma once

#include <QList>
#include <QString>

class PgSession;
class QTextStream;

// The rows of one table carried from one database to another.
struct CarriedTable
{
    QString name;
    qint64 rows = 0;
};

// Makes the four tables in the empty server database that the connection file names (with
// the sample, if asked, carried from a file made for it). Refuses a database that holds any
// of them already.
void createOnServer(const QString &serverFile, bool withSample);

// Copies the four tables of a database file (an Access file too, read as the program reads
// it) into the empty server database that the connection file names, all or nothing: the
// reference tables' names and the five columns of "Значения".
QList<CarriedTable> pushToServer(const QString &file, const QString &serverFile);

// Makes a new database file of the server database's four tables; the file is not left
// half-made.
QList<CarriedTable> pullFromServer(const QString &serverFile, const QString &file);

// What the tool says of the tables carried.
void reportCarried(const QList<CarriedTable> &tables, QTextStream &out);
