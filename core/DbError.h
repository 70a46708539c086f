#pragma once

#include <QString>
#include <stdexcept>

// What kind of failure a database reported, whatever the database: what the program may do
// about it (try again later, tell the user to free the file) depends on it, not on the words.
enum class DbErrorKind
{
    Other,
    Busy,       // another connection or program holds the data: trying again later may work
    Cancelled,  // the user cancelled a wait
    Gone,       // the file or the connection is no longer there
    ReadOnly,   // the data may be read but not changed
    Damaged,    // not a database, or a damaged one
    Constraint, // the database refused the change (a duplicate, an empty value)
    Conversion, // a value does not fit its column
    FileSystem, // the file system stood in the way (a missing folder, no permission)
    Conflict,   // another user changed or deleted the row since it was read
};

// The one error type of data handling (database, Access files, conversions); its message is
// shown to the user as it is. An error a database reported keeps its kind and the database's
// own text.
class DbError : public std::runtime_error
{
public:
    explicit DbError(const QString &message, DbErrorKind kind = DbErrorKind::Other,
                     const QString &databaseText = {})
        : std::runtime_error(message.toStdString()), m_message(message), m_kind(kind),
          m_databaseText(databaseText)
    {}

    QString message() const { return m_message; }
    DbErrorKind kind() const { return m_kind; }
    // The database's own words, for reference; empty when the error is the program's.
    QString databaseText() const { return m_databaseText; }

private:
    QString m_message;
    DbErrorKind m_kind;
    QString m_databaseText;
};
