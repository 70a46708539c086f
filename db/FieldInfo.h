#pragma once

#include <QList>
#include <QString>
#include <QVariant>

// The kind of data of a column, as the windows and the report see it.
enum class FieldKind
{
    String, // short text
    Memo,   // long text: MEMO, LONGTEXT, CLOB, NOTE declared types
    Integer,
    Float,
    Date,
    Boolean,
    Binary,  // BLOB, BINARY, OLE … declared types, or an untyped column holding bytes
    Unknown, // an untyped column, e.g. an expression
};

// How a column's declared type is treated when a text is written into it.
enum class WriteConversion
{
    None,    // the text as it is (text columns, and columns without a declared type)
    Integer, // a whole number in the user's regional format
    Real,    // a number in the user's regional format
    Date,    // day.month.year, stored as ISO 8601 text
    Blob,    // the text's UTF-8 bytes
};

struct FieldInfo
{
    QString name;         // the column's name in the result
    QString displayLabel; // the title a grid or report shows: the name
    QString declaredType; // as declared in the table, empty for an expression
    QString originColumn; // the table column it comes from, empty for an expression
    FieldKind kind = FieldKind::Unknown;
    WriteConversion conversion = WriteConversion::None;
    int displayWidth = 10; // characters
    // The measured values of "Значения": the analyses read them as numbers, so whatever the
    // column's type only a number in the user's format is written, and never nothing.
    bool requiresNumber = false;
};

// Classifies a declared type the way SQLite's affinity rules do, with dates and long texts
// told apart.
FieldKind fieldKindOf(const QString &declaredType);
WriteConversion writeConversionOf(const QString &declaredType);
// Whether a column of that declared type takes a name as text: text types and untyped ones.
bool holdsText(const QString &declaredType);
// The field of a reference table that holds its names: the first that holds text; -1 if none.
int nameFieldIndex(const QList<FieldInfo> &fields);
int displayWidthOf(const QString &declaredType, FieldKind kind);

// Converts a text (or other value) for a column; throws DbError quoting the text and the
// column when the text does not fit (an empty or non-numeric text for a number, a text that
// is no day.month.year date for a date column). A column that requires a number refuses
// anything else, and a text column of that kind keeps the text as typed. Other non-text
// values pass unchanged.
QVariant convertForColumn(const QVariant &value, const FieldInfo &field);

// A stored value as a grid cell and a printed report show it: as textOf(), but dates of
// date columns in the short date format and binary data as a placeholder.
QString cellText(const QVariant &stored, const FieldInfo &field);

// The value to show for a stored one: dates of date columns in the short date format,
// everything else as it is.
QVariant displayValue(const QVariant &stored, const FieldInfo &field);
