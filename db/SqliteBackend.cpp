#include "db/SqliteBackend.h"

#include "core/DbError.h"
#include "core/ValueConversion.h"
#include "db/Schema.h"
#include "db/SqlDialect.h"
#include "db/Sqlite.h"

#include <QDir>
#include <vector>

namespace {

// The name under which a keyed read gives each row's rowid, apart from the table's columns.
const QString KeyColumn = QStringLiteral("orvinta_key");

// The statement with its parameters, in SQLite's dialect.
struct Translated
{
    QString sql;
    int parameters = 0;
};

Translated translated(const Source &source)
{
    return {translateStatement(source.statement), int(source.parameters.size())};
}

// The statement of an editable source with the rowid read first.
QString withKey(const QString &sql, const SingleTableSelect &select)
{
    return sql.left(select.selectListStart) + u' ' + quotedName(select.table) +
           QStringLiteral("._rowid_ AS ") + KeyColumn + u',' + sql.mid(select.selectListStart);
}

// Whether every result column after the rowid comes straight from `table`.
bool columnsComeFrom(const SqliteStatement &statement, const QString &table)
{
    for (int i = 1; i < statement.columnCount(); ++i) {
        if (statement.originName(i).isEmpty() ||
            statement.originTable(i).compare(table, Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

QList<FieldInfo> fieldsOf(const SqliteStatement &statement, int first)
{
    QList<FieldInfo> fields;
    for (int i = first; i < statement.columnCount(); ++i) {
        FieldInfo field;
        field.name = statement.columnName(i);
        field.displayLabel = field.name;
        field.declaredType = statement.declaredType(i);
        field.originColumn = statement.originName(i);
        field.kind = fieldKindOf(field.declaredType);
        field.conversion = writeConversionOf(field.declaredType);
        field.displayWidth = displayWidthOf(field.declaredType, field.kind);
        fields.append(field);
    }
    return fields;
}

void bindAll(SqliteStatement &statement, const QVariantList &values, int first = 1)
{
    for (int i = 0; i < values.size(); ++i)
        statement.bind(first + i, values.at(i));
}

// Rows of one statement, forward; its texts shared where a column repeats them.
class SqliteCursor final : public RowCursor
{
public:
    SqliteCursor(std::unique_ptr<SqliteStatement> statement, int firstColumn)
        : m_statement(std::move(statement)), m_first(firstColumn),
          m_texts(size_t(std::max(0, m_statement->columnCount() - firstColumn)))
    {}

    bool next() override { return m_statement->step(); }
    int columnCount() const override { return m_statement->columnCount() - m_first; }
    QVariant value(int column) const override
    {
        return m_statement->value(column + m_first, &m_texts[size_t(column)]);
    }
    QString text(int column) const override
    {
        const QVariant stored = value(column);
        return stored.typeId() == QMetaType::QString ? stored.toString() : textOf(stored);
    }
    bool isNull(int column) const override { return m_statement->isNull(column + m_first); }
    RowKey key() const override
    {
        return m_first > 0 ? RowKey{m_statement->int64Value(0)} : RowKey{};
    }

private:
    std::unique_ptr<SqliteStatement> m_statement;
    int m_first;
    mutable std::vector<RepeatedTexts> m_texts;
};

DbError rowGone(const QString &table)
{
    return DbError(QStringLiteral("Запись не найдена: её уже нет в таблице «%1»").arg(table),
                   DbErrorKind::Gone);
}

} // namespace

SqliteConnection::SqliteConnection(std::unique_ptr<SqliteDatabase> file, const QString &shownPath,
                                   const QString &readOnlyReason)
    : m_file(std::move(file)), m_shownPath(shownPath), m_readOnlyReason(readOnlyReason)
{
    changeCount();
}

SqliteConnection::~SqliteConnection() = default;

SourceShape SqliteConnection::describe(const Source &source)
{
    const Translated statement = translated(source);
    SourceShape shape;
    const SingleTableSelect select = analyseSelect(statement.sql);
    if (select.matches) {
        // A statement SQLite will not take with the rowid is read as it is.
        try {
            const SqliteStatement keyed(*m_file, withKey(statement.sql, select));
            if (keyed.columnCount() > 1 && columnsComeFrom(keyed, select.table)) {
                shape.fields = fieldsOf(keyed, 1);
                shape.editableTable = keyed.originTable(1);
                return shape;
            }
        } catch (const DbError &) {
        }
    }
    const SqliteStatement plain(*m_file, statement.sql);
    shape.fields = fieldsOf(plain, 0);
    return shape;
}

std::unique_ptr<RowCursor> SqliteConnection::read(const Source &source)
{
    auto statement = std::make_unique<SqliteStatement>(*m_file, translated(source).sql);
    bindAll(*statement, source.parameters);
    return std::make_unique<SqliteCursor>(std::move(statement), 0);
}

qint64 SqliteConnection::count(const Source &source)
{
    // Every row of a table whose rows a counter of triggers counts: the count is at hand.
    const Translated statement = translated(source);
    if (const SingleTableSelect select = analyseSelect(statement.sql);
        select.matches && select.wholeTable) {
        SqliteStatement kept(*m_file, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE "
                                                     "(type = 'trigger' AND tbl_name = ?1 AND "
                                                     "name IN (?2, ?3)) OR (type = 'table' AND "
                                                     "name = ?4)"));
        kept.bind(1, select.table);
        kept.bind(2, Schema::RowCounterInsert);
        kept.bind(3, Schema::RowCounterDelete);
        kept.bind(4, Schema::RowCounter);
        if (kept.step() && kept.int64Value(0) == 3) {
            SqliteStatement counted(*m_file,
                                    QStringLiteral("SELECT Строк FROM %1 WHERE Таблица = ?1")
                                        .arg(quotedName(Schema::RowCounter)));
            counted.bind(1, select.table);
            if (counted.step() && !counted.isNull(0))
                return counted.int64Value(0);
        }
    }
    SqliteStatement count(*m_file, QStringLiteral("SELECT count(*) FROM (%1)").arg(statement.sql));
    bindAll(count, source.parameters);
    count.step();
    return count.int64Value(0);
}

std::unique_ptr<RowCursor>
SqliteConnection::readPage(const Source &source, const SourceShape &shape, const PageRequest &page)
{
    const Translated statement = translated(source);
    // LIMIT -1: no limit.
    const PageStatement paged = pageStatement(
        statement.sql,
        shape.isEditable() ? withKey(statement.sql, analyseSelect(statement.sql)) : QString(),
        KeyColumn, page, QStringLiteral("?%1").arg(statement.parameters + 1),
        QStringLiteral("?%1").arg(statement.parameters + 2), -1);
    auto read = std::make_unique<SqliteStatement>(*m_file, paged.sql);
    bindAll(*read, source.parameters);
    bindAll(*read, paged.parameters, statement.parameters + 1);
    return std::make_unique<SqliteCursor>(std::move(read), shape.isEditable() ? 1 : 0);
}

StoredRow SqliteConnection::readRow(const QString &table, const QList<FieldInfo> &columns,
                                    RowKey key)
{
    QStringList names;
    for (const FieldInfo &field : columns)
        names.append(quotedName(field.originColumn));
    SqliteStatement select(*m_file, QStringLiteral("SELECT %1 FROM %2 WHERE _rowid_ = ?1")
                                        .arg(names.join(u','), quotedName(table)));
    select.bind(1, key.value);
    if (!select.step())
        throw rowGone(table);
    StoredRow row{key, {}};
    for (int i = 0; i < select.columnCount(); ++i)
        row.values.append(select.value(i));
    return row;
}

quint64 SqliteConnection::changeCount()
{
    // The data version changes when another connection commits a change to the file.
    if (!m_dataVersionStatement)
        m_dataVersionStatement =
            std::make_unique<SqliteStatement>(*m_file, QStringLiteral("PRAGMA data_version"));
    m_dataVersionStatement->step();
    const auto current = quint64(m_dataVersionStatement->int64Value(0));
    m_dataVersionStatement->reset();
    if (current != m_dataVersion) {
        m_dataVersion = current;
        ++m_changes;
    }
    return m_changes;
}

void SqliteConnection::requireWritable()
{
    if (!m_readOnlyReason.isEmpty())
        throw DbError(m_readOnlyReason, DbErrorKind::ReadOnly);
    const QString path = QDir::toNativeSeparators(m_file->path());
    switch (m_file->fileAtPath()) {
    case SqliteDatabase::FileAtPath::Same:
        break;
    case SqliteDatabase::FileAtPath::Gone:
        throw DbError(QStringLiteral("Файла базы данных «%1» больше нет на месте: его удалили или "
                                     "переместили. Изменение не записано; откройте файл заново")
                          .arg(path),
                      DbErrorKind::Gone);
    case SqliteDatabase::FileAtPath::Replaced:
        throw DbError(QStringLiteral("Файл базы данных «%1» заменён другим файлом. Изменение не "
                                     "записано; откройте файл заново")
                          .arg(path),
                      DbErrorKind::Gone);
    }
    if (m_file->isReadOnly()) {
        throw DbError(QStringLiteral("Файл базы данных «%1» открыт только для чтения: изменения "
                                     "в него не записываются")
                          .arg(path),
                      DbErrorKind::ReadOnly);
    }
}

RowKey SqliteConnection::insert(const QString &table, const QStringList &columns,
                                const QVariantList &values)
{
    QStringList names;
    QStringList parameters;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        names.append(quotedName(columns.at(i)));
        parameters.append(QStringLiteral("?%1").arg(i + 1));
    }
    const QString sql = columns.isEmpty()
                            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quotedName(table))
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(quotedName(table), names.join(u','), parameters.join(u','));
    SqliteStatement insert(*m_file, sql);
    bindAll(insert, values);
    insert.step();
    return {m_file->lastInsertRowid()};
}

int SqliteConnection::update(const QString &table, RowKey key, const QStringList &columns,
                             const QVariantList &values)
{
    QStringList assignments;
    for (qsizetype i = 0; i < columns.size(); ++i)
        assignments.append(QStringLiteral("%1 = ?%2").arg(quotedName(columns.at(i))).arg(i + 1));
    SqliteStatement update(*m_file, QStringLiteral("UPDATE %1 SET %2 WHERE _rowid_ = ?%3")
                                        .arg(quotedName(table), assignments.join(u','))
                                        .arg(columns.size() + 1));
    bindAll(update, values);
    update.bind(int(columns.size()) + 1, key.value);
    update.step();
    return m_file->changes();
}

int SqliteConnection::remove(const QString &table, RowKey key)
{
    SqliteStatement remove(
        *m_file, QStringLiteral("DELETE FROM %1 WHERE _rowid_ = ?1").arg(quotedName(table)));
    remove.bind(1, key.value);
    remove.step();
    return m_file->changes();
}

void SqliteConnection::begin()
{
    m_file->exec(QStringLiteral("BEGIN IMMEDIATE"));
}

void SqliteConnection::commit()
{
    m_file->exec(QStringLiteral("COMMIT"));
}

void SqliteConnection::rollback()
{
    m_file->exec(QStringLiteral("ROLLBACK"));
}
