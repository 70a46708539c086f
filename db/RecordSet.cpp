#include "db/RecordSet.h"
#include "core/ValueConversion.h"

#include "access/AccessSnapshot.h"
#include "core/DbError.h"
#include "db/ConnectionString.h"
#include "db/Schema.h"
#include "db/SqlDialect.h"
#include "db/Sqlite.h"

#include <algorithm>
#include <limits>

namespace {

// Another program deleted the row since it was read.
DbError rowGone(const QString &table)
{
    return DbError(QStringLiteral("Запись не найдена: её уже нет в таблице «%1»").arg(table));
}

} // namespace

namespace {

// Rows read at a time when the walk or a grid needs more.
constexpr int FetchChunk = 256;
constexpr int MaxFetchChunk = 65536;

// The name under which an editable statement reads the rowid, apart from the table's columns.
const QString RowidColumn = QStringLiteral("orvinta_rowid");

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

} // namespace

RecordSet::RecordSet(QObject *parent) : QObject(parent)
{}

RecordSet::~RecordSet() = default;

void RecordSet::setConnectionString(const QString &text)
{
    if (text == m_connectionString)
        return;
    close();
    m_connectionString = text;
}

void RecordSet::sourceChanged()
{
    close();
}

void RecordSet::open()
{
    if (isOpen())
        return;
    const Source wanted = source();
    auto db = openMonitoringDatabase(databasePathOf(m_connectionString));

    // An editable source reads the rowid first, so that every write reaches exactly the
    // row shown, and is read a page at a time after the last rowid read: between pages no
    // statement is open, so no read of an old state of the file outlives a fetch and every
    // write sees the file as it is. A statement SQLite will not take with it is read as it is.
    std::unique_ptr<SqliteStatement> statement;
    bool hasRowid = false;
    QString baseTable;
    if (!wanted.editableTable.isEmpty()) {
        const SingleTableSelect select = analyseSelect(wanted.sql);
        const QString withRowid = wanted.sql.left(select.selectListStart) + u' ' +
                                  quotedName(select.table) + QStringLiteral("._rowid_ AS ") +
                                  RowidColumn + u',' + wanted.sql.mid(select.selectListStart);
        const QString paged =
            QStringLiteral("SELECT * FROM (%1) WHERE %2 >= ?1 ORDER BY %2 LIMIT ?2")
                .arg(withRowid, RowidColumn);
        try {
            statement = std::make_unique<SqliteStatement>(*db, paged);
            hasRowid = true;
            if (statement->columnCount() > 1 && columnsComeFrom(*statement, select.table))
                baseTable = statement->originTable(1);
        } catch (const DbError &) {
            statement.reset();
        }
    }
    if (!statement)
        statement = std::make_unique<SqliteStatement>(*db, wanted.sql);

    QList<FieldInfo> fields;
    const int first = hasRowid ? 1 : 0;
    for (int i = first; i < statement->columnCount(); ++i) {
        FieldInfo field;
        field.name = statement->columnName(i);
        field.displayLabel = field.name;
        field.declaredType = statement->declaredType(i);
        field.originColumn = statement->originName(i);
        field.kind = fieldKindOf(field.declaredType);
        field.conversion = writeConversionOf(field.declaredType);
        field.displayWidth = displayWidthOf(field.declaredType, field.kind);
        field.requiresNumber =
            baseTable == Schema::Values && field.originColumn == Schema::ValueColumn;
        fields.append(field);
    }

    Q_EMIT aboutToReset();
    m_db = std::move(db);
    m_statement = std::move(statement);
    m_sql = wanted.sql;
    m_hasRowid = hasRowid;
    m_baseTable = baseTable;
    m_fields = fields;
    clearRows();
    m_repeatedTexts.clear();
    m_insertedRowids.clear();
    m_exhausted = false;
    m_nextRowid = std::numeric_limits<qint64>::min();
    m_current = 0;
    Q_EMIT resetDone();
}

void RecordSet::close()
{
    if (!isOpen())
        return;
    Q_EMIT aboutToReset();
    m_statement.reset();
    m_db.reset();
    m_sql.clear();
    m_baseTable.clear();
    m_fields.clear();
    clearRows();
    m_repeatedTexts.clear();
    m_insertedRowids.clear();
    m_exhausted = true;
    m_hasRowid = false;
    m_current = 0;
    Q_EMIT resetDone();
}

int RecordSet::nameColumn() const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (holdsText(m_fields.at(i).declaredType))
            return i;
    }
    return -1;
}

int RecordSet::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

DbError closedRecordSetError()
{
    return DbError(QStringLiteral("Набор данных закрыт: операция невозможна"));
}

DbError readOnlyError()
{
    return DbError(QStringLiteral("Эти данные доступны только для чтения"));
}

void RecordSet::requireOpen() const
{
    if (!isOpen())
        throw closedRecordSetError();
}

void RecordSet::requireEditable() const
{
    requireOpen();
    if (isAccessSnapshot(m_db->path()))
        throw DbError(accessReadOnlyMessage(databasePathOf(m_connectionString)));
    if (!isEditable())
        throw readOnlyError();
    switch (m_db->fileAtPath()) {
    case SqliteDatabase::FileAtPath::Same:
        break;
    case SqliteDatabase::FileAtPath::Gone:
        throw DbError(QStringLiteral("Файла базы данных «%1» больше нет на месте: его удалили или "
                                     "переместили. Изменение не записано; откройте файл заново")
                          .arg(m_db->path()));
    case SqliteDatabase::FileAtPath::Replaced:
        throw DbError(QStringLiteral("Файл базы данных «%1» заменён другим файлом. Изменение не "
                                     "записано; откройте файл заново")
                          .arg(m_db->path()));
    }
    if (m_db->isReadOnly()) {
        throw DbError(QStringLiteral("Файл базы данных «%1» открыт только для чтения: изменения "
                                     "в него не записываются")
                          .arg(m_db->path()));
    }
}

void RecordSet::requireRow(int row) const
{
    requireOpen();
    if (row < 0 || row >= m_visibleRows)
        throw DbError(QStringLiteral("Нет текущей записи"));
}

qint64 RecordSet::recordCount()
{
    requireOpen();
    if (m_exhausted)
        return qint64(m_visibleRows);
    SqliteStatement count(*m_db, QStringLiteral("SELECT count(*) FROM (%1)").arg(m_sql));
    count.step();
    return count.int64Value(0);
}

int RecordSet::fetch(int count)
{
    if (!isOpen() || m_exhausted || count <= 0)
        return 0;
    const int got = m_hasRowid ? fetchPages(count) : fetchAll();
    announceStoredRows();
    return got;
}

void RecordSet::storeCurrent(qint64 rowid, int firstColumn)
{
    m_rowids.push_back(rowid);
    const int columns = m_statement->columnCount();
    if (m_repeatedTexts.size() != size_t(columns))
        m_repeatedTexts.resize(size_t(columns));
    for (int i = firstColumn; i < columns; ++i)
        m_cells.push_back(m_statement->value(i, &m_repeatedTexts[size_t(i)]));
}

int RecordSet::fetchPages(int count)
{
    int got = 0;
    while (got < count && !m_exhausted) {
        const int wanted = count - got;
        m_statement->bind(1, m_nextRowid);
        m_statement->bind(2, wanted);
        int read = 0;
        qint64 last = m_nextRowid;
        while (m_statement->step()) {
            ++read;
            last = m_statement->int64Value(0);
            // Rows this record set added are among the rows read already.
            if (m_insertedRowids.contains(last))
                continue;
            storeCurrent(last, 1);
            ++got;
        }
        // Ends the statement, and with it the read of the file, until the next page.
        m_statement->reset();
        if (read < wanted || last == std::numeric_limits<qint64>::max())
            m_exhausted = true;
        else
            m_nextRowid = last + 1;
    }
    return got;
}

int RecordSet::fetchAll()
{
    // Without a rowid to go on from, the rows are read at once and the statement ended.
    qint64 ordinal = qint64(m_rowids.size());
    int got = 0;
    while (m_statement->step()) {
        storeCurrent(ordinal++, 0);
        ++got;
    }
    m_statement->reset();
    m_exhausted = true;
    return got;
}

void RecordSet::storeRow(qint64 rowid, const QVariantList &values)
{
    m_rowids.push_back(rowid);
    for (int i = 0; i < m_fields.size(); ++i)
        m_cells.push_back(values.value(i));
}

void RecordSet::announceStoredRows()
{
    const int stored = int(m_rowids.size());
    if (stored == m_visibleRows)
        return;
    Q_EMIT rowsAboutToBeAppended(m_visibleRows, stored - 1);
    m_visibleRows = stored;
    Q_EMIT rowsAppended();
}

void RecordSet::clearRows()
{
    m_rowids.clear();
    m_cells.clear();
    m_visibleRows = 0;
}

bool RecordSet::ensureRow(int row)
{
    // A walk to the end reads pages that double, so that a long result costs few runs of
    // the paging statement; a grid that only shows its first rows still reads one page.
    while (row >= m_visibleRows && !m_exhausted)
        fetch(std::clamp(m_visibleRows, FetchChunk, MaxFetchChunk));
    return row >= 0 && row < m_visibleRows;
}

void RecordSet::first()
{
    requireOpen();
    m_current = 0;
    ensureRow(m_current);
}

void RecordSet::next()
{
    requireOpen();
    if (ensureRow(m_current))
        ++m_current;
    ensureRow(m_current);
}

bool RecordSet::eof()
{
    return !isOpen() || !ensureRow(m_current);
}

void RecordSet::setCurrentRow(int row)
{
    m_current = row;
}

QVariant RecordSet::valueAt(int row, int column) const
{
    if (row < 0 || row >= m_visibleRows || column < 0 || column >= m_fields.size())
        return {};
    return m_cells[size_t(row) * size_t(m_fields.size()) + size_t(column)];
}

QVariant RecordSet::value(int position) const
{
    requireOpen();
    if (position < 0 || position >= m_fields.size())
        throw DbError(QStringLiteral("В наборе данных нет столбца номер %1").arg(position + 1));
    return valueAt(m_current, position);
}

QString RecordSet::text(int position) const
{
    return textOf(value(position));
}

QVariant RecordSet::fieldByName(const QString &name) const
{
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw DbError(QStringLiteral("Поле «%1» не найдено").arg(name));
    return valueAt(m_current, index);
}

QString RecordSet::quotedColumns() const
{
    QStringList columns;
    for (const FieldInfo &field : m_fields)
        columns.append(quotedName(field.originColumn));
    return columns.join(u',');
}

QVariantList RecordSet::readRow(qint64 rowid) const
{
    SqliteStatement select(*m_db, QStringLiteral("SELECT %1 FROM %2 WHERE _rowid_ = ?1")
                                      .arg(quotedColumns(), quotedName(m_baseTable)));
    select.bind(1, rowid);
    if (!select.step())
        throw rowGone(m_baseTable);
    QVariantList values;
    for (int i = 0; i < select.columnCount(); ++i)
        values.append(select.value(i));
    return values;
}

void RecordSet::appendRecord(const QStringList &texts)
{
    requireOpen();
    if (texts.size() > m_fields.size()) {
        throw DbError(QStringLiteral("В таблице «%1» меньше столбцов (%2), чем значений (%3)")
                          .arg(m_baseTable)
                          .arg(m_fields.size())
                          .arg(texts.size()));
    }
    QMap<int, QVariant> values;
    for (int i = 0; i < texts.size(); ++i)
        values.insert(i, texts.at(i));
    insertRow(values);
}

void RecordSet::appendName(const QString &name)
{
    requireOpen();
    const int column = nameColumn();
    if (column < 0)
        throw DbError(
            QStringLiteral("В таблице «%1» нет текстового столбца для названий").arg(m_baseTable));
    insertRow({{column, name}});
}

int RecordSet::insertRow(const QMap<int, QVariant> &values, int at)
{
    requireEditable();
    for (int i = 0; i < m_fields.size(); ++i) {
        // A new row's measured value is as required as an edited one.
        if (m_fields.at(i).requiresNumber && !values.contains(i))
            convertForColumn(QVariant(), m_fields.at(i));
    }
    QStringList columns;
    QStringList parameters;
    QVariantList bound;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const FieldInfo &field = m_fields.at(it.key());
        bound.append(convertForColumn(it.value(), field));
        columns.append(quotedName(field.originColumn));
        parameters.append(QStringLiteral("?%1").arg(bound.size()));
    }
    const QString sql =
        columns.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quotedName(m_baseTable))
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quotedName(m_baseTable), columns.join(u','), parameters.join(u','));
    SqliteStatement insert(*m_db, sql);
    for (int i = 0; i < bound.size(); ++i)
        insert.bind(i + 1, bound.at(i));
    insert.step();
    const qint64 rowid = m_db->lastInsertRowid();
    m_insertedRowids.insert(rowid);
    // The row is in the file now: it is kept even if reading it back fails, so that nobody
    // adds it a second time.
    QVariantList stored;
    try {
        stored = readRow(rowid);
    } catch (const DbError &) {
        for (int i = 0; i < m_fields.size(); ++i)
            stored.append(values.contains(i) ? convertForColumn(values.value(i), m_fields.at(i))
                                             : QVariant());
    }
    if (at < 0 || at >= m_visibleRows) {
        storeRow(rowid, stored);
        announceStoredRows();
        return m_visibleRows - 1;
    }
    // Kept where the user typed it, before the row that stood there, until the next reading.
    Q_EMIT rowAboutToBeInserted(at);
    const auto width = std::ptrdiff_t(m_fields.size());
    m_rowids.insert(m_rowids.begin() + at, rowid);
    m_cells.insert(m_cells.begin() + at * width, size_t(width), QVariant());
    for (std::ptrdiff_t i = 0; i < width; ++i)
        m_cells[size_t(at * width + i)] = stored.value(qsizetype(i));
    ++m_visibleRows;
    if (m_current >= at)
        ++m_current;
    Q_EMIT rowInserted();
    return at;
}

void RecordSet::updateRow(int row, const QMap<int, QVariant> &values)
{
    requireEditable();
    requireRow(row);
    if (values.isEmpty())
        return;
    QStringList assignments;
    QVariantList bound;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const FieldInfo &field = m_fields.at(it.key());
        bound.append(convertForColumn(it.value(), field));
        assignments.append(
            QStringLiteral("%1 = ?%2").arg(quotedName(field.originColumn)).arg(bound.size()));
    }
    const qint64 rowid = m_rowids[size_t(row)];
    SqliteStatement update(*m_db, QStringLiteral("UPDATE %1 SET %2 WHERE _rowid_ = ?%3")
                                      .arg(quotedName(m_baseTable), assignments.join(u','))
                                      .arg(bound.size() + 1));
    for (int i = 0; i < bound.size(); ++i)
        update.bind(i + 1, bound.at(i));
    update.bind(int(bound.size()) + 1, rowid);
    update.step();
    if (m_db->changes() == 0)
        throw rowGone(m_baseTable);
    const QVariantList stored = readRow(rowid);
    const size_t width = size_t(m_fields.size());
    for (size_t i = 0; i < width; ++i)
        m_cells[size_t(row) * width + i] = stored.value(qsizetype(i));
    Q_EMIT rowChanged(row);
}

void RecordSet::deleteRow(int row)
{
    requireEditable();
    requireRow(row);
    const qint64 rowid = m_rowids[size_t(row)];
    SqliteStatement remove(
        *m_db, QStringLiteral("DELETE FROM %1 WHERE _rowid_ = ?1").arg(quotedName(m_baseTable)));
    remove.bind(1, rowid);
    remove.step();
    Q_EMIT rowAboutToBeRemoved(row);
    const auto width = std::ptrdiff_t(m_fields.size());
    m_cells.erase(m_cells.begin() + row * width, m_cells.begin() + (row + 1) * width);
    m_rowids.erase(m_rowids.begin() + row);
    --m_visibleRows;
    if (m_current > row)
        --m_current;
    Q_EMIT rowRemoved();
}

void TableRecordSet::setTableName(const QString &name)
{
    if (name == m_tableName)
        return;
    sourceChanged();
    m_tableName = name;
}

RecordSet::Source TableRecordSet::source() const
{
    if (m_tableName.isEmpty())
        throw DbError(QStringLiteral("Не указано имя таблицы"));
    const QString sql = QStringLiteral("SELECT * FROM %1").arg(quotedName(m_tableName));
    return {sql, m_tableName};
}

void QueryRecordSet::setCommandText(const QString &text)
{
    if (text == m_commandText)
        return;
    sourceChanged();
    m_commandText = text;
}

RecordSet::Source QueryRecordSet::source() const
{
    if (m_commandText.trimmed().isEmpty())
        throw DbError(QStringLiteral("Не задан текст запроса"));
    const QString sql = translateStatement(m_commandText);
    const SingleTableSelect select = analyseSelect(sql);
    return {sql, select.matches ? select.table : QString()};
}

void connectToDatabase(Connection &connection, const QString &databasePath,
                       std::initializer_list<RecordSet *> records)
{
    connection.setConnectionString(connectionString(databasePath));
    for (RecordSet *const recordSet : records)
        recordSet->setConnectionString(connection.connectionString());
}
