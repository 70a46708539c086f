#pragma once

#include <QString>
#include <QVariantList>

// A user text made safe for splicing between ("  and  "): every double quotation mark
// is doubled, which the statement dialect reads back as one.
QString escapeLiteral(const QString &text);

// A table or column name as an SQL identifier: in double quotes, inner ones doubled.
QString quotedName(const QString &name);

// Translates a statement written in the program's dialect (double-quoted text literals
// with "" for a quote, [bracketed] names, unquoted Cyrillic names, keywords in any case, "?"
// for a parameter) into SQLite's, its parameters numbered ?1, ?2… in order. Single-quoted
// literals pass through. Throws DbError on an unterminated literal.
QString translateStatement(const QString &statement);

// A statement translated by translateStatement, in a PostgreSQL server's dialect: parameters
// $1, $2…, and every name that holds a letter beyond ASCII quoted, so that the server keeps
// it as written.
QString translateForServer(const QString &translated);

// The statement with each "?" replaced by its parameter as a double-quoted literal: how the
// statement reads to a person, and a statement of the dialect in its own right.
QString withParametersWritten(const QString &statement, const QVariantList &parameters);

// What the layer needs to know of a SELECT over one table to make its rows editable.
struct SingleTableSelect
{
    bool matches = false;    // "SELECT list FROM table [WHERE ...]", no order or limit
    bool wholeTable = false; // no WHERE: every row of the table
    // Of any "SELECT list FROM table …", whatever follows: the table's name as written, and
    // the offsets in the translated text where the select list begins and where FROM begins.
    QString table;
    qsizetype selectListStart = 0;
    qsizetype selectListEnd = 0;
};

// Looks at a translated statement (see translateStatement).
SingleTableSelect analyseSelect(const QString &translated);
