#include "db/Database.h"

#include "core/DbError.h"
#include "core/FileSystem.h"
#include "db/Postgres.h"
#include "db/PostgresBackend.h"
#include "db/Schema.h"
#include "db/Sqlite.h"
#include "db/SqliteBackend.h"

#include <QFileInfo>

namespace {

StandInFinder &standInFinder()
{
    static StandInFinder finder;
    return finder;
}

PasswordPrompt &passwordPrompt()
{
    static PasswordPrompt prompt;
    return prompt;
}

// The passwords the user gave this session, by connection file.
QHash<QString, QString> &passwords()
{
    static QHash<QString, QString> given;
    return given;
}

// Why the path cannot be a database, told before SQLite is asked; empty when it may be one.
QString problemBeforeOpening(const QString &path)
{
    const QFileInfo file(path);
    if (path.isEmpty())
        return QStringLiteral("Файл базы данных не указан");
    if (isMissingFile(path))
        return QStringLiteral("Файл базы данных «%1» не найден").arg(path);
    if (file.isDir())
        return QStringLiteral("«%1» — это папка, а не файл базы данных").arg(path);
    if (const QString problem = fileUseProblem(path, FileUse::Read); !problem.isEmpty())
        return QStringLiteral("Не удалось открыть файл базы данных «%1»: %2").arg(path, problem);
    if (file.size() == 0)
        return QStringLiteral("Файл «%1» пуст: это не база данных").arg(path);
    return {};
}

} // namespace

void Database::setStandInFinder(StandInFinder finder)
{
    standInFinder() = std::move(finder);
}

void Database::setPasswordPrompt(PasswordPrompt prompt)
{
    passwordPrompt() = std::move(prompt);
}

bool isServerFile(const QString &path)
{
    return path.endsWith(QLatin1String(".orvinta-server"), Qt::CaseInsensitive);
}

namespace {

// A session with the connection string of the file, asking for the password while the server
// refuses the one it has.
std::unique_ptr<PgSession> connectWith(const QString &connection, const QString &serverFile)
{
    QString &password = passwords()[serverFile];
    for (;;) {
        bool needsPassword = false;
        try {
            return std::make_unique<PgSession>(connection, password, serverFile, &needsPassword);
        } catch (const DbError &) {
            if (!needsPassword || !passwordPrompt())
                throw;
        }
        const std::optional<QString> given = passwordPrompt()(serverFile);
        if (!given)
            throw DbError(
                QStringLiteral("Подключение к серверу базы данных «%1» отменено").arg(serverFile),
                DbErrorKind::Cancelled);
        password = *given;
    }
}

} // namespace

std::unique_ptr<PgSession> connectToServer(const QString &serverFile)
{
    return connectWith(readServerFile(serverFile), serverFile);
}

std::shared_ptr<const Database> Database::openOnServer(const QString &path)
{
    const QString connection = readServerFile(path);
    std::unique_ptr<PgSession> server = connectWith(connection, path);
    if (const QStringList missing = Schema::missingParts(*server); !missing.isEmpty()) {
        throw DbError(QStringLiteral("В базе данных на сервере «%1» нет: %2")
                          .arg(path, missing.join(QStringLiteral(", "))),
                      DbErrorKind::Damaged);
    }
    std::shared_ptr<Database> database(new Database);
    database->m_path = path;
    database->m_sessions = std::make_shared<PgSessionPool>(
        connection, path, [path] { return passwords().value(path); });
    database->m_sessions->giveBack(std::move(server));
    return database;
}

std::shared_ptr<const Database> Database::open(const QString &path)
{
    if (isServerFile(path))
        return openOnServer(path);
    if (const QString problem = problemBeforeOpening(path); !problem.isEmpty())
        throw DbError(problem, DbErrorKind::Gone);

    // An SQLite file is opened as it is. Only a file that SQLite refuses is looked at as a
    // file of another kind: reading its header through a handle of our own would, on closing
    // that handle, drop the locks that the program's other connections hold on an SQLite file.
    QString file = path;
    QString readOnlyReason;
    auto db = std::make_unique<SqliteDatabase>(path, SqliteDatabase::OpenMode::ReadWrite);
    QStringList missing;
    try {
        missing = Schema::missingParts(*db);
    } catch (const DbError &e) {
        db.reset();
        // A file that another program holds is in use, not damaged; a wait the user
        // cancelled, or a file the file system keeps from being read (a journal that cannot
        // be made beside it), is not damaged either, and its message names the cause.
        if (e.kind() == DbErrorKind::Busy) {
            throw DbError(
                QStringLiteral("Файл базы данных «%1» сейчас занят другой программой: "
                               "закройте её или подождите и повторите действие (SQLite: %2)")
                    .arg(path, e.databaseText()),
                e.kind(), e.databaseText());
        }
        if (e.kind() == DbErrorKind::Cancelled || e.kind() == DbErrorKind::FileSystem)
            throw;
        const std::optional<StandInFile> standIn =
            standInFinder() ? standInFinder()(path) : std::nullopt;
        if (!standIn) {
            throw DbError(
                QStringLiteral("Файл «%1» не является базой данных или повреждён: %2")
                    .arg(path, e.databaseText().isEmpty() ? e.message() : e.databaseText()),
                DbErrorKind::Damaged, e.databaseText());
        }
        // The stand-in is read as it is; nothing may change it.
        file = standIn->sqliteFile;
        readOnlyReason = standIn->readOnlyReason;
        db = std::make_unique<SqliteDatabase>(file, SqliteDatabase::OpenMode::ReadWrite);
        missing = Schema::missingParts(*db);
    }
    if (!missing.isEmpty()) {
        throw DbError(QStringLiteral("В базе данных «%1» нет: %2")
                          .arg(path, missing.join(QStringLiteral(", "))),
                      DbErrorKind::Damaged);
    }
    std::shared_ptr<Database> database(new Database);
    database->m_path = path;
    database->m_file = file;
    database->m_readOnlyReason = readOnlyReason;
    database->m_sharingWarning = sharedFileWarning(path);
    return database;
}

std::unique_ptr<DbConnection> Database::connect() const
{
    if (isOnServer()) {
        return std::make_unique<PgConnection>(m_sessions);
    }
    auto file = std::make_unique<SqliteDatabase>(m_file, SqliteDatabase::OpenMode::ReadWrite);
    if (!m_readOnlyReason.isEmpty())
        file->exec(QStringLiteral("PRAGMA query_only = ON"));
    // The file keeps the journal mode it has: record sets read in short steps that end their
    // statements, so no reader stands in the way of a writer in any mode.
    return std::make_unique<SqliteConnection>(std::move(file), m_path, m_readOnlyReason);
}

std::shared_ptr<const Database> DatabaseOpener::open(const QString &path)
{
    if (const auto opened = m_opened.constFind(path); opened != m_opened.cend())
        return *opened;
    return *m_opened.insert(path, Database::open(path));
}
