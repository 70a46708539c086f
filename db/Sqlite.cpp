#include "db/Sqlite.h"

#include "core/DbError.h"
#include "core/FileSystem.h"
#include "core/Waiting.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

int busyTimeoutMs = 5000;

// The device and inode of the file at a path; false when there is none.
bool identityOf(const QString &path, quint64 &device, quint64 &inode)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    device = quint64(info.st_dev);
    inode = quint64(info.st_ino);
    return true;
}

QString fromUtf8(const unsigned char *text, int bytes)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(text), bytes);
}

// "T.c, T.d" after SQLite's "…constraint failed: " as the columns «c», «d» of table «T».
struct ConstraintColumns
{
    QString table;
    QStringList columns;
};

ConstraintColumns constraintColumns(const QString &sqliteText)
{
    ConstraintColumns named;
    const qsizetype colon = sqliteText.indexOf(u": ");
    if (colon < 0)
        return named;
    const QStringList parts = sqliteText.mid(colon + 2).split(QStringLiteral(", "));
    for (const QString &part : parts) {
        const qsizetype dot = part.indexOf(u'.');
        if (dot <= 0)
            return {};
        named.table = part.left(dot);
        named.columns.append(QStringLiteral("«%1»").arg(part.mid(dot + 1)));
    }
    return named;
}

// The sentence for a constraint that names its columns, or SQLite's text alone.
QString columnSentence(const QString &sqliteText, const char *oneColumn, const char *columns)
{
    const ConstraintColumns named = constraintColumns(sqliteText);
    if (named.columns.isEmpty())
        return {};
    return QString::fromUtf8(named.columns.size() == 1 ? oneColumn : columns)
        .arg(named.columns.join(QStringLiteral(", ")), named.table);
}

QString russianSentence(int code, const QString &sqliteText)
{
    switch (code) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY: {
        const QString sentence = columnSentence(
            sqliteText, "Такое значение уже есть: столбец %1 таблицы «%2» не допускает повторов",
            "Такая запись уже есть: столбцы %1 таблицы «%2» не допускают повторов");
        return sentence.isEmpty()
                   ? QStringLiteral("Такая запись уже есть: база данных не допускает повторов")
                   : sentence;
    }
    case SQLITE_CONSTRAINT_NOTNULL: {
        const QString sentence =
            columnSentence(sqliteText, "Столбец %1 таблицы «%2» не может быть пустым",
                           "Столбцы %1 таблицы «%2» не могут быть пустыми");
        return sentence.isEmpty() ? QStringLiteral("Пустое значение не допускается базой данных")
                                  : sentence;
    }
    case SQLITE_CONSTRAINT_CHECK:
        return QStringLiteral("Значение не прошло проверку, которую задаёт база данных");
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        return QStringLiteral("Запись нарушает связь между таблицами базы данных");
    case SQLITE_CONSTRAINT_DATATYPE:
        return QStringLiteral("Столбец не принимает значение этого типа");
    case SQLITE_TOOBIG:
        return QStringLiteral("Значение слишком велико для базы данных");
    default:
        break;
    }
    switch (code & 0xff) {
    case SQLITE_CONSTRAINT:
        return QStringLiteral("База данных отказалась записать изменение");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("Файл базы данных сейчас занят другой программой: закройте её "
                              "или подождите и повторите действие");
    case SQLITE_READONLY:
        return QStringLiteral("Файл базы данных доступен только для чтения: изменение не записано");
    case SQLITE_FULL:
        return QStringLiteral("На диске не хватает места: изменение не записано");
    case SQLITE_NOTADB:
        return QStringLiteral("Файл не является базой данных");
    case SQLITE_CORRUPT:
        return QStringLiteral("Файл базы данных повреждён");
    case SQLITE_IOERR:
        return QStringLiteral("Не удалось прочитать или записать файл базы данных");
    case SQLITE_CANTOPEN:
        return QStringLiteral("Не удалось открыть файл базы данных");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("Нет доступа к файлу базы данных");
    default:
        return {};
    }
}

// Failures whose cause lies in the file system rather than in the database itself.
bool isFileFailure(int code)
{
    switch (code & 0xff) {
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_IOERR:
    case SQLITE_PERM:
        return true;
    default:
        return false;
    }
}

// The sentence for a failure of the file system, naming the file and, where the file system
// shows it, the cause: a missing folder, no permission, a read-only disk.
QString fileFailureSentence(int code, const QString &path, FileUse use)
{
    QString sentence;
    switch (code & 0xff) {
    case SQLITE_READONLY:
        sentence = QStringLiteral("Файл базы данных «%1» доступен только для чтения: изменение "
                                  "не записано");
        break;
    case SQLITE_IOERR:
        sentence = QStringLiteral("Не удалось прочитать или записать файл базы данных «%1»");
        break;
    default:
        sentence = use == FileUse::Create
                       ? QStringLiteral("Не удалось создать файл базы данных «%1»")
                       : QStringLiteral("Не удалось открыть файл базы данных «%1»");
        break;
    }
    sentence = sentence.arg(QDir::toNativeSeparators(path));
    if (const QString cause = fileUseProblem(path, use); !cause.isEmpty())
        sentence += QStringLiteral(": ") + cause;
    return sentence;
}

DbErrorKind kindOf(int code)
{
    // A WAL file whose folder cannot be written cannot even be read: the folder is the cause.
    if (code == SQLITE_READONLY_CANTINIT || code == SQLITE_READONLY_DIRECTORY)
        return DbErrorKind::FileSystem;
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DbErrorKind::Busy;
    case SQLITE_READONLY:
        return DbErrorKind::ReadOnly;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return DbErrorKind::Damaged;
    case SQLITE_CONSTRAINT:
        return DbErrorKind::Constraint;
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
    case SQLITE_RANGE:
        return DbErrorKind::Conversion;
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_PERM:
        return DbErrorKind::FileSystem;
    default:
        return DbErrorKind::Other;
    }
}

// The DbError of a failed call on the connection to the file at the path.
DbError failure(sqlite3 *db, const QString &path, FileUse use = FileUse::Write)
{
    const int code = sqlite3_extended_errcode(db);
    const QString text = QString::fromUtf8(sqlite3_errmsg(db));
    if (isFileFailure(code)) {
        return DbError(
            QStringLiteral("%1 (SQLite: %2)").arg(fileFailureSentence(code, path, use), text),
            kindOf(code), text);
    }
    return DbError(sqliteErrorMessage(code, text), kindOf(code), text);
}

} // namespace

QString sqliteErrorMessage(int extendedCode, const QString &sqliteText)
{
    const QString sentence = russianSentence(extendedCode, sqliteText);
    if (sentence.isEmpty())
        return sqliteText;
    return QStringLiteral("%1 (SQLite: %2)").arg(sentence, sqliteText);
}

SqliteDatabase::SqliteDatabase(const QString &path, OpenMode mode) : m_path(path)
{
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (mode == OpenMode::CreateNew)
        flags |= SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const FileUse use = mode == OpenMode::CreateNew ? FileUse::Create : FileUse::Read;
        const DbError error =
            m_db ? failure(m_db, path, use)
                 : DbError(fileFailureSentence(SQLITE_CANTOPEN, path, use), DbErrorKind::FileSystem,
                           QString::fromUtf8(sqlite3_errstr(rc)));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw error;
    }
    identityOf(path, m_device, m_inode);
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_handler(m_db, &SqliteDatabase::onBusy, this);
    // Double-quoted texts are never taken for strings: the dialect translation makes every
    // literal single-quoted, so a text equal to a column name stays a text.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
}

SqliteDatabase::~SqliteDatabase()
{
    sqlite3_close_v2(m_db);
}

void SqliteDatabase::setBusyTimeout(int milliseconds)
{
    busyTimeoutMs = milliseconds;
}

int SqliteDatabase::onBusy(void *self, int count)
{
    return static_cast<SqliteDatabase *>(self)->waitWhileBusy(count);
}

int SqliteDatabase::waitWhileBusy(int count)
{
    if (count == 0) {
        m_busySince.start();
        m_waitCancelled = false;
    }
    if (m_busySince.elapsed() >= busyTimeoutMs)
        return 0;
    if (Waiter *user = waiter()) {
        m_waiting = true;
        const QString what =
            QStringLiteral("Файл базы данных «%1» занят другой программой. Ожидание…")
                .arg(QFileInfo(m_path).fileName());
        if (!user->keepWaiting(what)) {
            m_waitCancelled = true;
            return 0;
        }
    }
    // Short sleeps first: most locks are let go within milliseconds.
    sqlite3_sleep(count < 10 ? 2 : 20);
    return 1;
}

DbError SqliteDatabase::lastFailure() const
{
    if (m_waitCancelled) {
        m_waitCancelled = false;
        return DbError(QStringLiteral("Ожидание отменено: файл базы данных «%1» занят другой "
                                      "программой")
                           .arg(QDir::toNativeSeparators(m_path)),
                       DbErrorKind::Cancelled, QStringLiteral("database is locked"));
    }
    return failure(m_db, m_path);
}

void SqliteDatabase::endWait() const
{
    if (!m_waiting)
        return;
    m_waiting = false;
    if (Waiter *user = waiter())
        user->finished();
}

SqliteDatabase::FileAtPath SqliteDatabase::fileAtPath() const
{
    quint64 device = 0;
    quint64 inode = 0;
    if (!identityOf(m_path, device, inode))
        return FileAtPath::Gone;
    return device == m_device && inode == m_inode ? FileAtPath::Same : FileAtPath::Replaced;
}

bool SqliteDatabase::isReadOnly() const
{
    return sqlite3_db_readonly(m_db, "main") == 1;
}

void SqliteDatabase::exec(const QString &sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    endWait();
    if (rc != SQLITE_OK) {
        sqlite3_free(message);
        throw lastFailure();
    }
}

QString SqliteDatabase::lastError() const
{
    return QString::fromUtf8(sqlite3_errmsg(m_db));
}

qint64 SqliteDatabase::lastInsertRowid() const
{
    return sqlite3_last_insert_rowid(m_db);
}

int SqliteDatabase::changes() const
{
    return sqlite3_changes(m_db);
}

SqliteStatement::SqliteStatement(const SqliteDatabase &db, const QString &sql)
    : m_db(db), m_sql(sql)
{
    const QByteArray utf8 = sql.toUtf8();
    const int rc =
        sqlite3_prepare_v2(db.handle(), utf8.constData(), int(utf8.size()), &m_statement, nullptr);
    db.endWait();
    if (rc != SQLITE_OK)
        throw db.lastFailure();
    if (!m_statement)
        throw DbError(QStringLiteral("Пустой запрос"));
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_statement);
    m_db.endWait();
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    DbError error = m_db.lastFailure();
    sqlite3_reset(m_statement);
    throw error;
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

void SqliteStatement::bind(int parameter, const QVariant &value)
{
    int rc = SQLITE_OK;
    if (value.isNull()) {
        rc = sqlite3_bind_null(m_statement, parameter);
    } else {
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(m_statement, parameter, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_statement, parameter, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob64(m_statement, parameter, bytes.constData(),
                                     sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text64(m_statement, parameter, text.constData(),
                                     sqlite3_uint64(text.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
    }
    if (rc != SQLITE_OK)
        throw m_db.lastFailure();
}

int SqliteStatement::columnCount() const
{
    return sqlite3_column_count(m_statement);
}

QVariant SqliteStatement::value(int column, RepeatedTexts *texts) const
{
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_statement, column));
    case SQLITE_BLOB: {
        const void *bytes = sqlite3_column_blob(m_statement, column);
        const int size = sqlite3_column_bytes(m_statement, column);
        return QVariant(QByteArray(static_cast<const char *>(bytes), size));
    }
    case SQLITE_TEXT: {
        const unsigned char *text = sqlite3_column_text(m_statement, column);
        const int bytes = sqlite3_column_bytes(m_statement, column);
        if (texts)
            return texts->text(reinterpret_cast<const char *>(text), bytes);
        return QVariant(fromUtf8(text, bytes));
    }
    default:
        return QVariant();
    }
}

qint64 SqliteStatement::int64Value(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

QString SqliteStatement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_statement, column));
}

QString SqliteStatement::declaredType(int column) const
{
    return QString::fromUtf8(sqlite3_column_decltype(m_statement, column));
}

QString SqliteStatement::originName(int column) const
{
    return QString::fromUtf8(sqlite3_column_origin_name(m_statement, column));
}

QString SqliteStatement::originTable(int column) const
{
    return QString::fromUtf8(sqlite3_column_table_name(m_statement, column));
}
