#include "db/RecordSet.h"

#include "core/ValueConversion.h"
#include "db/ConnectionString.h"
#include "db/Database.h"
#include "db/RowStore.h"
#include "db/Schema.h"

#include <numeric>
#include <optional>

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
    const QString path = databasePathOf(m_connectionString);
    std::shared_ptr<const Database> database =
        m_opener ? m_opener->open(path) : Database::open(path);
    std::unique_ptr<DbConnection> connection = database->connect();
    SourceShape shape = connection->describe(wanted);
    for (FieldInfo &field : shape.fields) {
        // The measured values: the analyses read them as numbers.
        field.requiresNumber =
            shape.editableTable == Schema::Values && field.originColumn == Schema::ValueColumn;
    }

    Q_EMIT aboutToReset();
    m_database = std::move(database);
    m_connection = std::move(connection);
    m_source = wanted;
    m_shape = std::move(shape);
    m_rows = std::make_unique<RowStore>(*m_connection, m_source, m_shape);
    m_seenGeneration = m_rows->generation();
    m_current = 0;
    Q_EMIT resetDone();
}

void RecordSet::close()
{
    if (!isOpen())
        return;
    Q_EMIT aboutToReset();
    m_rows.reset();
    m_connection.reset();
    m_database.reset();
    m_shape = {};
    m_current = 0;
    Q_EMIT resetDone();
}

int RecordSet::nameColumn() const
{
    return nameFieldIndex(fields());
}

int RecordSet::fieldIndex(const QString &name) const
{
    for (int i = 0; i < fieldCount(); ++i) {
        if (fields().at(i).name.compare(name, Qt::CaseInsensitive) == 0)
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
    return DbError(QStringLiteral("Эти данные доступны только для чтения"), DbErrorKind::ReadOnly);
}

void RecordSet::requireOpen() const
{
    if (!isOpen())
        throw closedRecordSetError();
}

void RecordSet::requireEditable()
{
    requireOpen();
    // What keeps the database from being written is said before what keeps these rows.
    m_connection->requireWritable();
    if (!isEditable())
        throw readOnlyError();
}

void RecordSet::requireRow(int row)
{
    requireOpen();
    if (row < 0 || row >= rowCount())
        throw DbError(QStringLiteral("Нет текущей записи"));
}

// --- Reading

void RecordSet::noticeRefresh()
{
    if (!m_rows || m_rows->generation() == m_seenGeneration)
        return;
    m_seenGeneration = m_rows->generation();
    if (m_refreshQueued)
        return;
    m_refreshQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_refreshQueued = false;
            Q_EMIT refreshed();
        },
        Qt::QueuedConnection);
}

int RecordSet::rowCount()
{
    if (!isOpen())
        return 0;
    const int count = m_rows->count();
    noticeRefresh();
    return count;
}

QVariant RecordSet::valueAt(int row, int column)
{
    if (!isOpen())
        return {};
    QVariant value = m_rows->value(row, column);
    noticeRefresh();
    return value;
}

RowKey RecordSet::keyAt(int row)
{
    if (!isOpen())
        return {};
    const RowKey key = m_rows->key(row);
    noticeRefresh();
    return key;
}

int RecordSet::rowOf(RowKey key) const
{
    return m_rows ? m_rows->rowOf(key) : -1;
}

bool RecordSet::refresh()
{
    if (!isOpen() || !m_rows->refreshIfChanged())
        return false;
    m_seenGeneration = m_rows->generation();
    Q_EMIT refreshed();
    return true;
}

qint64 RecordSet::recordCount()
{
    requireOpen();
    return rowCount();
}

void RecordSet::first()
{
    requireOpen();
    m_current = 0;
}

void RecordSet::next()
{
    requireOpen();
    if (m_current < rowCount())
        ++m_current;
}

bool RecordSet::eof()
{
    return !isOpen() || m_current >= rowCount();
}

QVariant RecordSet::value(int position) const
{
    requireOpen();
    if (position < 0 || position >= fieldCount())
        throw DbError(QStringLiteral("В наборе данных нет столбца номер %1").arg(position + 1));
    return m_rows->value(m_current, position);
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
    return m_rows->value(m_current, index);
}

void RecordSet::forEachRow(const std::function<void(const RowCursor &row)> &visit, RowOrder order)
{
    requireOpen();
    const std::unique_ptr<RowCursor> rows =
        order == RowOrder::AsShown && isEditable()
            ? m_connection->readPage(m_source, m_shape, {PageRequest::From::Start, {}, 0, -1})
            : m_connection->read(m_source);
    while (rows->next())
        visit(*rows);
}

// --- Writing

QVariantList RecordSet::converted(const QMap<int, QVariant> &values, QStringList &columns) const
{
    QVariantList bound;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const FieldInfo &field = fields().at(it.key());
        bound.append(convertForColumn(it.value(), field));
        columns.append(field.originColumn);
    }
    return bound;
}

void RecordSet::appendRecord(const QStringList &texts)
{
    requireOpen();
    if (texts.size() > fieldCount()) {
        throw DbError(QStringLiteral("В таблице «%1» меньше столбцов (%2), чем значений (%3)")
                          .arg(baseTable())
                          .arg(fieldCount())
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
            QStringLiteral("В таблице «%1» нет текстового столбца для названий").arg(baseTable()));
    insertRow({{column, name}});
}

int RecordSet::insertRow(const QMap<int, QVariant> &values)
{
    requireEditable();
    for (int i = 0; i < fieldCount(); ++i) {
        // A new row's measured value is as required as an edited one.
        if (fields().at(i).requiresNumber && !values.contains(i))
            convertForColumn(QVariant(), fields().at(i));
    }
    QStringList columns;
    const QVariantList bound = converted(values, columns);
    const int rows = rowCount();
    const RowKey key = m_connection->insert(baseTable(), columns, bound);
    // The row is in the database now: it is shown even if reading it back fails, so that
    // nobody adds it a second time.
    QVariantList stored;
    bool selected = true;
    try {
        const auto read =
            m_connection->readPage(m_source, m_shape, {PageRequest::From::Key, key, 0, 1});
        selected = read->next();
        for (int i = 0; selected && i < fieldCount(); ++i)
            stored.append(read->value(i));
    } catch (const DbError &) {
        for (int i = 0; i < fieldCount(); ++i)
            stored.append(values.contains(i) ? convertForColumn(values.value(i), fields().at(i))
                                             : QVariant());
    }
    if (!selected)
        return -1;
    // A new key is the greatest: the row comes last in the order of the keys.
    Q_EMIT rowsAboutToBeInserted(rows, rows);
    m_rows->appended(key, stored);
    Q_EMIT rowsInserted();
    return rows;
}

void RecordSet::updateRow(int row, const QMap<int, QVariant> &values)
{
    requireEditable();
    requireRow(row);
    updateRow(m_rows->key(row), values);
}

void RecordSet::updateRow(RowKey key, const QMap<int, QVariant> &values)
{
    requireEditable();
    if (values.isEmpty())
        return;
    QStringList columns;
    const QVariantList bound = converted(values, columns);
    const bool written = m_connection->update(baseTable(), key, columns, bound) > 0;
    // Written or not, the row is shown as the table holds it now.
    const StoredRow stored = m_connection->readRow(baseTable(), fields(), key);
    const int row = m_rows->rowOf(key);
    if (row >= 0) {
        m_rows->changed(row, stored);
        Q_EMIT rowChanged(row);
    }
    if (!written)
        throw changedMeanwhile(stored, values.keys(),
                               QStringLiteral("Ваше изменение не записано и "
                                              "осталось в таблице: примените "
                                              "его ещё раз, если оно "
                                              "по-прежнему нужно"));
}

void RecordSet::deleteRow(int row)
{
    requireEditable();
    requireRow(row);
    const RowKey key = m_rows->key(row);
    if (m_connection->remove(baseTable(), key) == 0) {
        // Deleted by someone else already, or changed: then it stays, as it is now.
        std::optional<StoredRow> stored;
        try {
            stored = m_connection->readRow(baseTable(), fields(), key);
        } catch (const DbError &e) {
            if (e.kind() != DbErrorKind::Gone)
                throw;
        }
        if (stored) {
            m_rows->changed(row, *stored);
            Q_EMIT rowChanged(row);
            QList<int> shown(fieldCount());
            std::iota(shown.begin(), shown.end(), 0);
            throw changedMeanwhile(*stored, shown,
                                   QStringLiteral("Запись не удалена: удалите её ещё раз, если "
                                                  "она по-прежнему не нужна"));
        }
    }
    Q_EMIT rowAboutToBeRemoved(row);
    m_rows->removed(row);
    if (m_current > row)
        --m_current;
    Q_EMIT rowRemoved();
}

DbError RecordSet::changedMeanwhile(const StoredRow &stored, const QList<int> &columns,
                                    const QString &outcome) const
{
    QStringList now;
    for (const int column : columns)
        now.append(QStringLiteral("«%1» — «%2»")
                       .arg(fields().at(column).name,
                            cellText(stored.values.value(column), fields().at(column))));
    return DbError(QStringLiteral("Эту запись таблицы «%1» изменил другой пользователь, пока вы "
                                  "с ней работали. Сейчас в базе данных: %2. %3")
                       .arg(baseTable(), now.join(QStringLiteral(", ")), outcome),
                   DbErrorKind::Conflict);
}

// --- Sources

void TableRecordSet::setTableName(const QString &name)
{
    if (name == m_tableName)
        return;
    sourceChanged();
    m_tableName = name;
}

Source TableRecordSet::source() const
{
    if (m_tableName.isEmpty())
        throw DbError(QStringLiteral("Не указано имя таблицы"));
    return {QStringLiteral("SELECT * FROM [%1]").arg(m_tableName), {}};
}

void QueryRecordSet::setSource(const Source &source)
{
    if (source == m_statement)
        return;
    sourceChanged();
    m_statement = source;
}

Source QueryRecordSet::source() const
{
    if (m_statement.statement.trimmed().isEmpty())
        throw DbError(QStringLiteral("Не задан текст запроса"));
    return m_statement;
}

void connectToDatabase(Connection &connection, const QString &databasePath,
                       std::initializer_list<RecordSet *> records)
{
    connection.setConnectionString(connectionString(databasePath));
    for (RecordSet *const recordSet : records) {
        recordSet->setConnectionString(connection.connectionString());
        recordSet->setOpener(connection.opener());
    }
}
