#pragma once

#include <QString>
#include <stdexcept>

// The one error type of data handling (database, Access files, conversions); its message is
// shown to the user as it is. An error that SQLite reported keeps its extended result code
// and its own text.
class DbError : public std::runtime_error
{
public:
    explicit DbError(const QString &message, int sqliteCode = 0, const QString &sqliteText = {})
        : std::runtime_error(message.toStdString()), m_message(message), m_sqliteCode(sqliteCode),
          m_sqliteText(sqliteText)
    {}

    QString message() const { return m_message; }
    int sqliteCode() const { return m_sqliteCode; }
    QString sqliteText() const { return m_sqliteText; }

private:
    QString m_message;
    int m_sqliteCode;
    QString m_sqliteText;
};
