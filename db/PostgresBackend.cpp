#include "db/PostgresBackend.h"

#include "core/DbError.h"
#include "core/ValueConversion.h"
#include "db/Postgres.h"
#include "db/Schema.h"
#include "db/SqlDialect.h"

#include <QScopeGuard>
#include <deque>
#include <libpq-fe.h>
#include <vector>

namespace {

// The names under which a keyed read gives each row's key and version, before its columns.
const QString KeyAlias = QStringLiteral("orvinta_key");
const QString VersionAlias = QStringLiteral("orvinta_version");
// A row's version: the transaction that wrote it last.
const QString Version = QStringLiteral("xmin::text::bigint");
constexpr int KeyedColumns = 2;

// A page of rows at most this long is read whole; a longer read comes row by row.
constexpr int LongestWholePage = 4096;

// The name of a type that a result column of no table has, as the program's types read.
QString typeNameOf(Oid type)
{
    switch (type) {
    case 16:
        return QStringLiteral("boolean");
    case 17:
        return QStringLiteral("bytea");
    case 20:
        return QStringLiteral("bigint");
    case 21:
        return QStringLiteral("smallint");
    case 23:
        return QStringLiteral("integer");
    case 25:
    case 1043:
        return QStringLiteral("text");
    case 700:
        return QStringLiteral("real");
    case 701:
        return QStringLiteral("double precision");
    case 1082:
        return QStringLiteral("date");
    case 1114:
    case 1184:
        return QStringLiteral("timestamp");
    case 1700:
        return QStringLiteral("numeric");
    default:
        return {};
    }
}

QString parameter(int number)
{
    return QStringLiteral("$%1").arg(number);
}

DbError rowGone(const QString &table)
{
    return DbError(QStringLiteral("Запись не найдена: её уже нет в таблице «%1»").arg(table),
                   DbErrorKind::Gone);
}

} // namespace

// Rows of one or more results: a page read whole, or rows that come one result each while the
// server sends them. Rows still to come when the connection is needed for another statement
// are taken in first.
class PgCursor final : public RowCursor
{
public:
    PgCursor(PgResult whole, int firstColumn)
        : m_current(std::move(whole)), m_first(firstColumn),
          m_texts(size_t(std::max(0, m_current.columns() - firstColumn)))
    {}

    PgCursor(PgConnection &connection, int firstColumn)
        : m_connection(&connection), m_first(firstColumn)
    {}

    ~PgCursor() override { stop(); }

    // Rows nobody will read: the server is asked to stop sending them, and the connection is
    // free again.
    void stop()
    {
        if (!m_connection)
            return;
        if (PGcancel *cancel = PQgetCancel(m_connection->session().handle())) {
            char error[256];
            PQcancel(cancel, error, sizeof error);
            PQfreeCancel(cancel);
        }
        endStream();
    }

    bool next() override
    {
        if (++m_row < m_current.rows())
            return true;
        for (;;) {
            if (!m_ahead.empty()) {
                m_current = std::move(m_ahead.front());
                m_ahead.pop_front();
            } else if (m_connection) {
                m_current = takeResult();
            } else {
                m_current = PgResult();
                return false;
            }
            if (m_current.rows() > 0) {
                if (m_texts.empty())
                    m_texts.resize(size_t(std::max(0, m_current.columns() - m_first)));
                m_row = 0;
                return true;
            }
        }
    }

    int columnCount() const override { return std::max(0, m_current.columns() - m_first); }
    QVariant value(int column) const override
    {
        return m_current.value(m_row, column + m_first, &m_texts[size_t(column)]);
    }
    QString text(int column) const override
    {
        const QVariant stored = value(column);
        return stored.typeId() == QMetaType::QString ? stored.toString() : textOf(stored);
    }
    bool isNull(int column) const override { return m_current.isNull(m_row, column + m_first); }
    RowKey key() const override
    {
        if (m_first < KeyedColumns)
            return {};
        return {m_current.int64Value(m_row, 0), m_current.int64Value(m_row, 1)};
    }

    // Takes in every row still to come, so that the connection is free.
    void takeInTheRest()
    {
        while (m_connection) {
            PgResult result = takeResult();
            if (result.rows() > 0)
                m_ahead.push_back(std::move(result));
        }
    }

private:
    // The next result of the rows that come; an empty one at their end.
    PgResult takeResult()
    {
        PgSession &session = m_connection->session();
        PGresult *raw = PQgetResult(session.handle());
        if (!raw) {
            std::exchange(m_connection, nullptr)->streamEnded(this);
            return PgResult();
        }
        if (PQresultStatus(raw) == PGRES_SINGLE_TUPLE)
            return PgResult(raw);
        // The end of the rows, or a failure: the final null result comes next.
        try {
            session.checked(raw);
        } catch (...) {
            endStream();
            throw;
        }
        return PgResult();
    }

    // Takes what is left of the rows' results and frees the connection.
    void endStream()
    {
        while (PGresult *rest = PQgetResult(m_connection->session().handle()))
            PQclear(rest);
        std::exchange(m_connection, nullptr)->streamEnded(this);
    }

    PgConnection *m_connection = nullptr;
    PgResult m_current;
    std::deque<PgResult> m_ahead;
    int m_row = -1;
    int m_first;
    mutable std::vector<RepeatedTexts> m_texts;
};

PgSessionPool::PgSessionPool(const QString &connectionString, const QString &shownPath,
                             std::function<QString()> password)
    : m_connectionString(connectionString), m_shownPath(shownPath), m_password(std::move(password))
{}

PgSessionPool::~PgSessionPool() = default;

QString PgSessionPool::shownPath() const
{
    return m_shownPath;
}

std::unique_ptr<PgSession> PgSessionPool::take()
{
    while (!m_idle.empty()) {
        std::unique_ptr<PgSession> session = std::move(m_idle.back());
        m_idle.pop_back();
        if (!session->isLost())
            return session;
    }
    return std::make_unique<PgSession>(m_connectionString, m_password(), m_shownPath);
}

void PgSessionPool::giveBack(std::unique_ptr<PgSession> session)
{
    constexpr size_t MostKept = 2;
    if (m_idle.size() < MostKept && !session->isLost() &&
        PQtransactionStatus(session->handle()) == PQTRANS_IDLE)
        m_idle.push_back(std::move(session));
}

PgConnection::PgConnection(std::shared_ptr<PgSessionPool> pool) : m_pool(std::move(pool))
{
    changeCount();
}

PgConnection::~PgConnection()
{
    if (m_streaming)
        m_streaming->stop();
    // A transaction left open ends with its session, which the server then rolls back.
    if (m_session && !m_inTransaction)
        m_pool->giveBack(std::move(m_session));
}

QString PgConnection::databasePath() const
{
    return m_pool->shownPath();
}

void PgConnection::releaseIfIdle()
{
    if (m_session && !m_streaming && !m_inTransaction)
        m_pool->giveBack(std::move(m_session));
}

void PgConnection::streamEnded(PgCursor *cursor)
{
    if (m_streaming == cursor)
        m_streaming = nullptr;
    releaseIfIdle();
}

void PgConnection::prepareForStatement()
{
    if (!m_session)
        m_session = m_pool->take();
    if (m_streaming)
        m_streaming->takeInTheRest();
    if (m_session->reconnectIfLost()) {
        // What happened while the connection was gone was announced to nobody.
        m_inTransaction = false;
        m_tables.clear();
        ++m_changes;
    }
}

template <typename Read> auto PgConnection::reading(Read &&read) -> decltype(read())
{
    prepareForStatement();
    try {
        return read();
    } catch (const DbError &) {
        if (m_inTransaction || !m_session->isLost())
            throw;
    }
    prepareForStatement();
    return read();
}

const PgConnection::Table &PgConnection::table(const QString &name)
{
    if (const auto known = m_tables.constFind(name); known != m_tables.cend())
        return *known;
    const PgResult columns = m_session->exec(
        QStringLiteral("SELECT a.attrelid::bigint, a.attnum, a.attname, "
                       "format_type(a.atttypid, a.atttypmod) FROM pg_attribute a "
                       "WHERE a.attrelid = to_regclass(quote_ident($1)) AND a.attnum > 0 AND "
                       "NOT a.attisdropped ORDER BY a.attnum"),
        {name});
    Table found;
    for (int row = 0; row < columns.rows(); ++row) {
        found.oid = columns.int64Value(row, 0);
        const int number = int(columns.int64Value(row, 1));
        const QString column = columns.text(row, 2);
        found.columnByNumber.insert(number, column);
        found.typeByNumber.insert(number, columns.text(row, 3));
        if (column == Schema::ServerKeyColumn)
            found.keyed = true;
        else
            found.shownColumns.append(column);
    }
    return *m_tables.insert(name, found);
}

QString PgConnection::serverStatement(const Source &source)
{
    QString sql = translateForServer(translateStatement(source.statement));
    const SingleTableSelect select = analyseSelect(sql);
    if (select.table.isEmpty() ||
        QStringView(sql)
                .mid(select.selectListStart, select.selectListEnd - select.selectListStart)
                .trimmed() != u"*")
        return sql;
    const Table &shown = table(select.table);
    if (!shown.keyed || shown.shownColumns.isEmpty())
        return sql;
    QStringList names;
    for (const QString &column : shown.shownColumns)
        names.append(quotedName(column));
    return sql.left(select.selectListStart) + u' ' + names.join(u',') + u' ' +
           sql.mid(select.selectListEnd);
}

QString PgConnection::keyedStatement(const QString &sql)
{
    const SingleTableSelect select = analyseSelect(sql);
    const QString table = quotedName(select.table);
    return sql.left(select.selectListStart) +
           QStringLiteral(" %1.%2 AS %3, %1.%4 AS %5,")
               .arg(table, quotedName(Schema::ServerKeyColumn), KeyAlias, Version, VersionAlias) +
           sql.mid(select.selectListStart);
}

SourceShape PgConnection::describe(const Source &source)
{
    const auto release = qScopeGuard([this] { releaseIfIdle(); });
    return reading([&] {
        const QString sql = serverStatement(source);
        const SingleTableSelect select = analyseSelect(sql);
        bool keyed = select.matches && table(select.table).keyed;
        const auto prepare = [this](const QString &statement) {
            m_session->checked(
                PQprepare(m_session->handle(), "", statement.toUtf8().constData(), 0, nullptr));
        };
        if (keyed) {
            // A statement the server will not take with the key (an aggregate) is read as it is.
            try {
                prepare(keyedStatement(sql));
            } catch (const DbError &) {
                if (m_session->isLost())
                    throw;
                keyed = false;
            }
        }
        if (!keyed)
            prepare(sql);
        const PgResult description =
            m_session->checked(PQdescribePrepared(m_session->handle(), ""));
        const int first = keyed ? KeyedColumns : 0;
        SourceShape shape;
        bool fromTable = keyed && description.columns() > first;
        const Table *origin = keyed ? &table(select.table) : nullptr;
        for (int i = first; i < description.columns(); ++i) {
            PGresult *result = description.handle();
            FieldInfo field;
            field.name = QString::fromUtf8(PQfname(result, i));
            field.displayLabel = field.name;
            const int number = PQftablecol(result, i);
            if (origin && qint64(PQftable(result, i)) == origin->oid && number > 0) {
                field.originColumn = origin->columnByNumber.value(number);
                field.declaredType = origin->typeByNumber.value(number);
            } else {
                fromTable = false;
                field.declaredType = typeNameOf(PQftype(result, i));
            }
            field.kind = fieldKindOf(field.declaredType);
            field.conversion = writeConversionOf(field.declaredType);
            field.displayWidth = displayWidthOf(field.declaredType, field.kind);
            shape.fields.append(field);
        }
        if (fromTable)
            shape.editableTable = select.table;
        return shape;
    });
}

std::unique_ptr<RowCursor> PgConnection::stream(const QString &sql, const QVariantList &parameters,
                                                int firstColumn)
{
    prepareForStatement();
    m_session->sendSingleRows(sql, parameters);
    auto cursor = std::make_unique<PgCursor>(*this, firstColumn);
    m_streaming = cursor.get();
    return cursor;
}

std::unique_ptr<RowCursor> PgConnection::read(const Source &source)
{
    const auto release = qScopeGuard([this] { releaseIfIdle(); });
    const QString sql = reading([&] { return serverStatement(source); });
    return stream(sql, source.parameters, 0);
}

qint64 PgConnection::count(const Source &source)
{
    const auto release = qScopeGuard([this] { releaseIfIdle(); });
    return reading([&] {
        return m_session
            ->exec(QStringLiteral("SELECT count(*) FROM (%1) AS orvinta_rows")
                       .arg(serverStatement(source)),
                   source.parameters)
            .int64Value(0, 0);
    });
}

std::unique_ptr<RowCursor> PgConnection::readPage(const Source &source, const SourceShape &shape,
                                                  const PageRequest &page)
{
    const auto release = qScopeGuard([this] { releaseIfIdle(); });
    const QString sql = reading([&] { return serverStatement(source); });
    const int count = int(source.parameters.size());
    // LIMIT NULL: no limit.
    const PageStatement paged =
        pageStatement(sql, shape.isEditable() ? keyedStatement(sql) : QString(), KeyAlias, page,
                      parameter(count + 1), parameter(count + 2), QVariant());
    const QVariantList parameters = source.parameters + paged.parameters;
    const int first = shape.isEditable() ? KeyedColumns : 0;
    if (page.limit < 0 || page.limit > LongestWholePage)
        return stream(paged.sql, parameters, first);
    return reading(
        [&] { return std::make_unique<PgCursor>(m_session->exec(paged.sql, parameters), first); });
}

StoredRow PgConnection::readRow(const QString &tableName, const QList<FieldInfo> &columns,
                                RowKey key)
{
    const auto release = qScopeGuard([this] { releaseIfIdle(); });
    QStringList names{Version};
    for (const FieldInfo &field : columns)
        names.append(quotedName(field.originColumn));
    const PgResult row = reading([&] {
        return m_session->exec(
            QStringLiteral("SELECT %1 FROM %2 WHERE %3 = $1")
                .arg(names.join(u','), quotedName(tableName), quotedName(Schema::ServerKeyColumn)),
            {key.value});
    });
    if (row.rows() == 0)
        throw rowGone(tableName);
    StoredRow stored{{key.value, row.int64Value(0, 0)}, {}};
    for (int i = 1; i < row.columns(); ++i)
        stored.values.append(row.value(0, i));
    return stored;
}

quint64 PgConnection::changeCount()
{
    const auto release = qScopeGuard([this] { releaseIfIdle(); });
    if (m_streaming || !m_changesCounted)
        return m_changes;
    qint64 counted = 0;
    try {
        counted = reading([&] {
            return m_session
                ->exec(QStringLiteral("SELECT %1()").arg(quotedName(Schema::ServerChangeCount)))
                .int64Value(0, 0);
        });
    } catch (const DbError &e) {
        // A database made without the counter: changes of others show when it is opened anew.
        if (e.kind() != DbErrorKind::Damaged && e.kind() != DbErrorKind::Other)
            throw;
        m_changesCounted = false;
        return m_changes;
    }
    // Each write of this connection counts once; more than that is someone else's.
    if (m_countedChanges >= 0 && counted - m_countedChanges > m_ownWrites)
        ++m_changes;
    m_countedChanges = counted;
    m_ownWrites = 0;
    return m_changes;
}

void PgConnection::requireWritable()
{
    // What the user may change is the server's to say, at the write itself.
}

RowKey PgConnection::insert(const QString &tableName, const QStringList &columns,
                            const QVariantList &values)
{
    const auto release = qScopeGuard([this] { releaseIfIdle(); });
    prepareForStatement();
    QStringList names;
    QStringList parameters;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        names.append(quotedName(columns.at(i)));
        parameters.append(parameter(int(i) + 1));
    }
    const QString returning =
        QStringLiteral(" RETURNING %1, %2").arg(quotedName(Schema::ServerKeyColumn), Version);
    const QString sql =
        (columns.isEmpty()
             ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quotedName(tableName))
             : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                   .arg(quotedName(tableName), names.join(u','), parameters.join(u','))) +
        returning;
    const PgResult inserted = m_session->exec(sql, values);
    ++m_ownWrites;
    return {inserted.int64Value(0, 0), inserted.int64Value(0, 1)};
}

int PgConnection::update(const QString &tableName, RowKey key, const QStringList &columns,
                         const QVariantList &values)
{
    const auto release = qScopeGuard([this] { releaseIfIdle(); });
    prepareForStatement();
    QStringList assignments;
    for (qsizetype i = 0; i < columns.size(); ++i)
        assignments.append(
            QStringLiteral("%1 = %2").arg(quotedName(columns.at(i)), parameter(int(i) + 1)));
    QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = %4")
                      .arg(quotedName(tableName), assignments.join(u','),
                           quotedName(Schema::ServerKeyColumn), parameter(int(columns.size()) + 1));
    QVariantList parameters = values;
    parameters.append(key.value);
    if (key.version != 0) {
        sql += QStringLiteral(" AND %1 = %2").arg(Version, parameter(int(parameters.size()) + 1));
        parameters.append(key.version);
    }
    const int changed = m_session->exec(sql, parameters).changedRows();
    ++m_ownWrites;
    return changed;
}

int PgConnection::remove(const QString &tableName, RowKey key)
{
    const auto release = qScopeGuard([this] { releaseIfIdle(); });
    prepareForStatement();
    QString sql = QStringLiteral("DELETE FROM %1 WHERE %2 = $1")
                      .arg(quotedName(tableName), quotedName(Schema::ServerKeyColumn));
    QVariantList parameters{key.value};
    if (key.version != 0) {
        sql += QStringLiteral(" AND %1 = $2").arg(Version);
        parameters.append(key.version);
    }
    const int changed = m_session->exec(sql, parameters).changedRows();
    ++m_ownWrites;
    return changed;
}

void PgConnection::begin()
{
    prepareForStatement();
    m_session->execScript(QStringLiteral("BEGIN"));
    m_inTransaction = true;
}

void PgConnection::commit()
{
    const auto release = qScopeGuard([this] { releaseIfIdle(); });
    m_inTransaction = false;
    m_session->execScript(QStringLiteral("COMMIT"));
}

void PgConnection::rollback()
{
    const auto release = qScopeGuard([this] { releaseIfIdle(); });
    m_inTransaction = false;
    if (m_session && !m_session->isLost())
        m_session->execScript(QStringLiteral("ROLLBACK"));
}
