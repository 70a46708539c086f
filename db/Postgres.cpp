#include "db/Postgres.h"

#include "core/DbError.h"

#include <QFile>
#include <QFileInfo>
#include <charconv>
#include <libpq-fe.h>

namespace {

// The types whose values are not read as text (their numbers are fixed in PostgreSQL).
enum TypeOid : Oid
{
    BoolOid = 16,
    ByteaOid = 17,
    Int8Oid = 20,
    Int2Oid = 21,
    Int4Oid = 23,
    OidOid = 26,
    XidOid = 28,
    Float4Oid = 700,
    Float8Oid = 701,
    NumericOid = 1700,
};

QString serverText(const PGresult *result)
{
    const char *primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    return QString::fromUtf8(primary ? primary : PQresultErrorMessage(result)).trimmed();
}

// What the server refused of a change, in the words the program uses for a file; empty for
// a failure that is no refusal of a change.
QString refusalSentence(const QString &state, const PGresult *result)
{
    const auto field = [result](int code) {
        const char *text = result ? PQresultErrorField(result, code) : nullptr;
        return QString::fromUtf8(text ? text : "");
    };
    const QString table = field(PG_DIAG_TABLE_NAME);
    if (state == QLatin1String("23505")) {
        // "Key (column)=(value) already exists."
        const QString detail = field(PG_DIAG_MESSAGE_DETAIL);
        const qsizetype open = detail.indexOf(u'(');
        const qsizetype close = detail.indexOf(QLatin1String(")="));
        QString column =
            open >= 0 && close > open ? detail.mid(open + 1, close - open - 1) : QString();
        if (column.size() > 1 && column.startsWith(u'"') && column.endsWith(u'"'))
            column = column.mid(1, column.size() - 2)
                         .replace(QStringLiteral("\"\""), QStringLiteral("\""));
        if (column.isEmpty() || table.isEmpty() || column.contains(u','))
            return QStringLiteral("Такая запись уже есть: база данных не допускает повторов");
        return QStringLiteral("Такое значение уже есть: столбец «%1» таблицы «%2» не допускает "
                              "повторов")
            .arg(column, table);
    }
    if (state == QLatin1String("23502")) {
        const QString column = field(PG_DIAG_COLUMN_NAME);
        if (column.isEmpty() || table.isEmpty())
            return QStringLiteral("Пустое значение не допускается базой данных");
        return QStringLiteral("Столбец «%1» таблицы «%2» не может быть пустым").arg(column, table);
    }
    if (state == QLatin1String("23514"))
        return QStringLiteral("Значение не прошло проверку, которую задаёт база данных");
    if (state == QLatin1String("23503"))
        return QStringLiteral("Запись нарушает связь между таблицами базы данных");
    if (state.startsWith(QLatin1String("23")))
        return QStringLiteral("База данных отказалась записать изменение");
    return {};
}

// The error of a failed statement in the user's words, by the class of its SQLSTATE.
DbError statementError(const QString &shownPath, const QString &state, const QString &text,
                       const PGresult *result = nullptr)
{
    const auto error = [&](const QString &sentence, DbErrorKind kind) {
        return DbError(sentence.arg(shownPath) + QStringLiteral(" (сервер: %1)").arg(text), kind,
                       text);
    };
    if (const QString refusal = refusalSentence(state, result); !refusal.isEmpty()) {
        return DbError(
            QStringLiteral("%1 (база данных на сервере «%2»: %3)").arg(refusal, shownPath, text),
            DbErrorKind::Constraint, text);
    }
    if (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P")))
        return error(QStringLiteral("Связь с сервером базы данных «%1» прервана. Действие не "
                                    "выполнено: повторите его, и программа подключится заново"),
                     DbErrorKind::Gone);
    if (state == QLatin1String("42501"))
        return error(QStringLiteral("Нет прав на это действие в базе данных на сервере «%1»: "
                                    "их может дать администратор сервера"),
                     DbErrorKind::ReadOnly);
    if (state == QLatin1String("42P01") || state == QLatin1String("42703"))
        return error(QStringLiteral("В базе данных на сервере «%1» нет таблицы или столбца, "
                                    "которые нужны программе"),
                     DbErrorKind::Damaged);
    if (state.startsWith(QLatin1String("22")))
        return error(QStringLiteral("Значение не подходит для столбца базы данных на сервере «%1»"),
                     DbErrorKind::Conversion);
    if (state == QLatin1String("40001") || state == QLatin1String("40P01") ||
        state == QLatin1String("55P03"))
        return error(QStringLiteral("Данные на сервере «%1» сейчас заняты другим пользователем: "
                                    "повторите действие"),
                     DbErrorKind::Busy);
    return error(QStringLiteral("Ошибка сервера базы данных «%1»"), DbErrorKind::Other);
}

void ignoreNotice(void *, const PGresult *)
{}

// A parameter's value in the server's text form: numbers exact, bytes in bytea's hex form.
QByteArray parameterText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::Bool:
        return value.toBool() ? "1" : "0";
    case QMetaType::QByteArray:
        return "\\x" + value.toByteArray().toHex();
    default:
        return value.toString().toUtf8();
    }
}

} // namespace

QString readServerFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw DbError(
            QFileInfo::exists(path)
                ? QStringLiteral("Не удалось прочитать файл подключения к серверу «%1»: %2")
                      .arg(path, file.errorString())
                : QStringLiteral("Файл подключения к серверу «%1» не найден").arg(path),
            DbErrorKind::Gone);
    }
    // Lines starting with # are comments; the rest is one connection string.
    QStringList parts;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString &line : lines) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith(u'#'))
            parts.append(trimmed);
    }
    if (parts.isEmpty())
        throw DbError(QStringLiteral("В файле подключения к серверу «%1» нет строки подключения "
                                     "(например, «host=сервер dbname=база user=учитель»)")
                          .arg(path),
                      DbErrorKind::Damaged);
    return parts.join(u' ');
}

// --- PgResult

PgResult::~PgResult()
{
    PQclear(m_result);
}

PgResult::PgResult(PgResult &&other) noexcept : m_result(std::exchange(other.m_result, nullptr))
{}

PgResult &PgResult::operator=(PgResult &&other) noexcept
{
    if (this != &other) {
        PQclear(m_result);
        m_result = std::exchange(other.m_result, nullptr);
    }
    return *this;
}

int PgResult::rows() const
{
    return m_result ? PQntuples(m_result) : 0;
}

int PgResult::columns() const
{
    return m_result ? PQnfields(m_result) : 0;
}

bool PgResult::isNull(int row, int column) const
{
    return PQgetisnull(m_result, row, column) != 0;
}

QVariant PgResult::value(int row, int column, RepeatedTexts *texts) const
{
    if (PQgetisnull(m_result, row, column))
        return {};
    const char *bytes = PQgetvalue(m_result, row, column);
    const int size = PQgetlength(m_result, row, column);
    switch (PQftype(m_result, column)) {
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
    case OidOid:
    case XidOid: {
        qint64 number = 0;
        std::from_chars(bytes, bytes + size, number);
        return number;
    }
    case Float4Oid:
    case Float8Oid:
    case NumericOid: {
        double number = 0;
        if (std::from_chars(bytes, bytes + size, number).ec != std::errc())
            number = QByteArray(bytes, size).toDouble(); // NaN, Infinity
        return number;
    }
    case BoolOid:
        return qint64(bytes[0] == 't' ? 1 : 0);
    case ByteaOid: {
        size_t length = 0;
        unsigned char *raw =
            PQunescapeBytea(reinterpret_cast<const unsigned char *>(bytes), &length);
        QByteArray data(reinterpret_cast<const char *>(raw), qsizetype(length));
        PQfreemem(raw);
        return data;
    }
    default:
        return texts ? texts->text(bytes, size) : QVariant(QString::fromUtf8(bytes, size));
    }
}

qint64 PgResult::int64Value(int row, int column) const
{
    qint64 number = 0;
    const char *bytes = PQgetvalue(m_result, row, column);
    std::from_chars(bytes, bytes + PQgetlength(m_result, row, column), number);
    return number;
}

QString PgResult::text(int row, int column) const
{
    return QString::fromUtf8(PQgetvalue(m_result, row, column), PQgetlength(m_result, row, column));
}

int PgResult::changedRows() const
{
    return QByteArray(PQcmdTuples(m_result)).toInt();
}

// --- PgParameters

PgParameters::PgParameters(const QVariantList &values)
{
    // Reserved: the pointers below point into the texts.
    m_texts.reserve(size_t(values.size()));
    for (const QVariant &value : values) {
        m_texts.push_back(parameterText(value));
        m_pointers.push_back(value.isNull() ? nullptr : m_texts.back().constData());
    }
}

// --- PgCopy

PgCopy::PgCopy(PgSession &session, const QString &table, const QStringList &columns)
    : m_session(session)
{
    QStringList names;
    for (const QString &column : columns)
        names.append(u'"' + QString(column).replace(u'"', QStringLiteral("\"\"")) + u'"');
    m_session.exec(
        QStringLiteral("COPY \"%1\" (%2) FROM STDIN")
            .arg(QString(table).replace(u'"', QStringLiteral("\"\"")), names.join(u',')));
}

PgCopy::~PgCopy()
{
    if (!m_open)
        return;
    // Abandoned: the server drops what it was sent.
    PQputCopyEnd(m_session.handle(), "abandoned");
    while (PGresult *rest = PQgetResult(m_session.handle()))
        PQclear(rest);
}

void PgCopy::add(const QVariantList &row)
{
    const PgParameters values(row);
    for (int i = 0; i < values.count(); ++i) {
        if (i > 0)
            m_buffer += '\t';
        const char *value = values.values()[i];
        if (!value) {
            m_buffer += "\\N";
            continue;
        }
        for (const char *c = value; *c; ++c) {
            switch (*c) {
            case '\\':
                m_buffer += "\\\\";
                break;
            case '\t':
                m_buffer += "\\t";
                break;
            case '\n':
                m_buffer += "\\n";
                break;
            case '\r':
                m_buffer += "\\r";
                break;
            default:
                m_buffer += *c;
            }
        }
    }
    m_buffer += '\n';
    ++m_rows;
    if (m_buffer.size() > (1 << 20))
        send();
}

void PgCopy::send()
{
    if (!m_buffer.isEmpty() &&
        PQputCopyData(m_session.handle(), m_buffer.constData(), int(m_buffer.size())) != 1)
        throw m_session.connectionError();
    m_buffer.clear();
}

qint64 PgCopy::finish()
{
    send();
    m_open = false;
    if (PQputCopyEnd(m_session.handle(), nullptr) != 1)
        throw m_session.connectionError();
    PGresult *end = PQgetResult(m_session.handle());
    while (PGresult *rest = PQgetResult(m_session.handle()))
        PQclear(rest);
    m_session.checked(end);
    return m_rows;
}

// --- PgSession

PgSession::PgSession(const QString &connectionString, const QString &password,
                     const QString &shownPath, bool *needsPassword)
    : m_shownPath(shownPath)
{
    // The file's own settings come after the defaults and win; the encoding is the program's.
    const QByteArray conninfo = connectionString.toUtf8();
    const QByteArray secret = password.toUtf8();
    const char *keywords[] = {"connect_timeout",
                              "dbname",
                              "client_encoding",
                              "fallback_application_name",
                              password.isEmpty() ? nullptr : "password",
                              nullptr};
    const char *values[] = {"10",      conninfo.constData(), "UTF8",
                            "orvinta", secret.constData(),   nullptr};
    m_conn = PQconnectdbParams(keywords, values, 1);
    if (needsPassword)
        *needsPassword = PQconnectionNeedsPassword(m_conn) ||
                         (PQstatus(m_conn) != CONNECTION_OK && PQconnectionUsedPassword(m_conn));
    if (PQstatus(m_conn) != CONNECTION_OK) {
        const DbError error = connectionError();
        PQfinish(m_conn);
        m_conn = nullptr;
        throw error;
    }
    setUp();
}

PgSession::~PgSession()
{
    PQfinish(m_conn);
}

void PgSession::setUp()
{
    PQsetNoticeReceiver(m_conn, &ignoreNotice, nullptr);
    // Dates are read as ISO texts, whatever the server's default style.
    execScript(QStringLiteral("SET DateStyle = 'ISO, YMD'"));
}

int PgSession::backendPid() const
{
    return PQbackendPID(m_conn);
}

bool PgSession::isLost() const
{
    return PQstatus(m_conn) != CONNECTION_OK;
}

bool PgSession::reconnectIfLost()
{
    if (!isLost())
        return false;
    PQreset(m_conn);
    if (isLost())
        throw connectionError();
    setUp();
    return true;
}

DbError PgSession::connectionError() const
{
    const QString text = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
    if (PQconnectionNeedsPassword(m_conn))
        return DbError(QStringLiteral("Сервер базы данных «%1» требует пароль").arg(m_shownPath),
                       DbErrorKind::Other, text);
    return DbError(QStringLiteral("Не удалось подключиться к серверу базы данных «%1»: %2")
                       .arg(m_shownPath, text),
                   DbErrorKind::Gone, text);
}

PgResult PgSession::checked(PGresult *raw) const
{
    PgResult result(raw);
    const ExecStatusType status = raw ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_SINGLE_TUPLE ||
        status == PGRES_COPY_IN || status == PGRES_COPY_OUT)
        return result;
    if (!raw || isLost()) {
        const QString text =
            raw ? serverText(raw) : QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        throw statementError(m_shownPath, QStringLiteral("08000"), text);
    }
    const char *state = PQresultErrorField(raw, PG_DIAG_SQLSTATE);
    throw statementError(m_shownPath, QString::fromLatin1(state ? state : ""), serverText(raw),
                         raw);
}

PgResult PgSession::exec(const QString &sql, const QVariantList &parameters)
{
    const PgParameters values(parameters);
    return checked(PQexecParams(m_conn, sql.toUtf8().constData(), values.count(), nullptr,
                                values.values(), nullptr, nullptr, 0));
}

void PgSession::execScript(const QString &sql)
{
    checked(PQexec(m_conn, sql.toUtf8().constData()));
}

void PgSession::sendSingleRows(const QString &sql, const QVariantList &parameters)
{
    const PgParameters values(parameters);
    if (!PQsendQueryParams(m_conn, sql.toUtf8().constData(), values.count(), nullptr,
                           values.values(), nullptr, nullptr, 0) ||
        !PQsetSingleRowMode(m_conn))
        checked(PQgetResult(m_conn));
}
