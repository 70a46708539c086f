#pragma once

#include <QString>
#include <stdexcept>

// The one error type of the database layer; its message is shown to the user as it is.
class DbError : public std::runtime_error
{
public:
    explicit DbError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }

    QString message() const { return m_message; }

private:
    QString m_message;
};
