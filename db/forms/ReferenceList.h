#pragma once

#include <QList>
#include <QString>

class Connection;
class DataSource;
class QComboBox;
class QWidget;
class QueryRecordSet;
class TableRecordSet;

// An editable drop-down list for a name from a reference list; the program uses whatever
// text stands in it. A typed text is never added to the items and never changed by
// completion: the items that begin with it, in any case, are offered in a popup to pick from.
QComboBox *editableNameList(QWidget *parent);

// Appends the name column (the first column of a well-formed list) of every row of an open
// reference table, as text and in the
// order the rows come, to the end of each list in turn; duplicates and empty names too.
// The lists are not emptied first, and filling them is no choice of the user's: their texts
// stay as they were and no change signal is sent.
void appendReferenceNames(TableRecordSet &table, const QList<QComboBox *> &lists);

// Reads one reference list into drop-down lists the way the windows with selections do:
// the connection string of `databasePath` goes to the connection component and from there to
// both record sets; the query runs "SELECT * FROM <table>" (bound to `source`, when given)
// and is closed again once the names are read; the table record set is reopened unfiltered,
// walked for the names, and stays open.
void readReferenceList(const QString &databasePath, Connection &connection, QueryRecordSet &query,
                       TableRecordSet &table, const QString &tableName,
                       const QList<QComboBox *> &lists, DataSource *source = nullptr);
