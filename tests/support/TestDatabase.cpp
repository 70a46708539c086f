#include "tests/support/TestDatabase.h"

#include "access/AccessSnapshot.h"
#include "db/ConnectionString.h"
#include "db/Database.h"
#include "db/Schema.h"
#include "db/Sqlite.h"

#include <QDir>

namespace {

// Tests open Access files as the program does: through their snapshots.
const bool standInsInstalled = [] {
    Database::setStandInFinder(&accessStandIn);
    return true;
}();

} // namespace

TestDatabase::TestDatabase() : TestDatabase(Layout())
{
    Q_UNUSED(standInsInstalled);
}

TestDatabase::TestDatabase(const Layout &layout)
    : m_path(QDir(m_dir.path()).filePath(layout.fileName))
{
    m_db = std::make_unique<SqliteDatabase>(m_path, SqliteDatabase::OpenMode::CreateNew);
    if (layout.tables)
        Schema::create(*m_db);
    if (layout.tables && layout.valueType != Layout().valueType) {
        m_db->exec(QStringLiteral("DROP TABLE Значения; CREATE TABLE Значения (Дисциплина TEXT, "
                                  "Критерий TEXT, Средство_ИКТ TEXT, Значение %1, Дата TEXT)")
                       .arg(layout.valueType));
    }
    // Arranging thousands of rows one statement at a time need not wait for the disk.
    m_db->exec(QStringLiteral("PRAGMA synchronous = OFF"));
}

TestDatabase::~TestDatabase() = default;

QString TestDatabase::connection() const
{
    return connectionString(m_path);
}

void TestDatabase::exec(const QString &sql)
{
    m_db->exec(sql);
}

QList<QVariantList> TestDatabase::rows(const QString &sql)
{
    SqliteStatement statement(*m_db, sql);
    QList<QVariantList> result;
    while (statement.step()) {
        QVariantList row;
        for (int i = 0; i < statement.columnCount(); ++i)
            row.append(statement.value(i));
        result.append(row);
    }
    return result;
}

QVariant TestDatabase::scalar(const QString &sql)
{
    const auto result = rows(sql);
    return result.isEmpty() || result.first().isEmpty() ? QVariant() : result.first().first();
}

void TestDatabase::addNames(const QString &table, const QStringList &names)
{
    SqliteStatement insert(*m_db, QStringLiteral("INSERT INTO \"%1\" VALUES (?1)").arg(table));
    for (const QString &name : names) {
        insert.reset();
        insert.bind(1, name);
        insert.step();
    }
}

void TestDatabase::addValue(const QString &discipline, const QString &criterion,
                            const QString &tool, const QVariant &value, const QString &date)
{
    SqliteStatement insert(*m_db,
                           QStringLiteral("INSERT INTO Значения VALUES (?1, ?2, ?3, ?4, ?5)"));
    insert.bind(1, discipline);
    insert.bind(2, criterion);
    insert.bind(3, tool);
    insert.bind(4, value);
    insert.bind(5, date);
    insert.step();
}

QString testDataFolder()
{
    const QString fromEnvironment = qEnvironmentVariable("ORVINTA_TESTDATA");
    return fromEnvironment.isEmpty() ? QStringLiteral("../shared/testdata") : fromEnvironment;
}
