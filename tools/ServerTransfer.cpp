#include "tools/ServerTransfer.h"

#include "core/DbError.h"
#include "db/Database.h"
#include "db/Postgres.h"
#include "db/Schema.h"
#include "db/SqlDialect.h"
#include "db/Sqlite.h"
#include "tools/NewDatabaseFile.h"
#include "tools/SampleData.h"

#include <QTemporaryDir>
#include <QTextStream>
#include <functional>

namespace {

// What is carried of a table: the columns of the database made by orvinta-db, and where in a
// source row each comes from.
struct CarriedColumns
{
    QStringList names;
    QList<int> from;
};

CarriedColumns carriedColumns(const QString &table, const QList<FieldInfo> &fields)
{
    if (table != Schema::Values)
        return {{QStringLiteral("Название")}, {nameFieldIndex(fields)}};
    return {{Schema::DisciplineColumn, Schema::CriterionColumn, Schema::IctToolColumn,
             Schema::ValueColumn, QStringLiteral("Дата")},
            {0, 1, 2, 3, 4}};
}

using RowWriter = std::function<void(const QVariantList &row)>;
using TableWriter = std::function<RowWriter(const QString &table, const QStringList &columns)>;

// Reads each of the four tables of the source and hands its rows to the writer of that table.
QList<CarriedTable> carry(DbConnection &source, const TableWriter &writerOf,
                          const std::function<void()> &tableDone)
{
    QList<CarriedTable> carried;
    for (const QString &table : Schema::referenceTables() + QStringList{Schema::Values}) {
        const Source all{QStringLiteral("SELECT * FROM [%1]").arg(table), {}};
        const CarriedColumns columns = carriedColumns(table, source.describe(all).fields);
        const RowWriter write = writerOf(table, columns.names);
        CarriedTable done{table, 0};
        const std::unique_ptr<RowCursor> rows = source.read(all);
        QVariantList row;
        while (rows->next()) {
            row.clear();
            for (const int column : columns.from)
                row.append(rows->value(column));
            write(row);
            ++done.rows;
        }
        tableDone();
        carried.append(done);
    }
    return carried;
}

// The server database of the connection file, which must not hold any of the four tables.
std::unique_ptr<PgSession> emptyServerDatabase(const QString &serverFile)
{
    auto server = connectToServer(serverFile);
    if (Schema::hasAnyTable(*server))
        throw DbError(QStringLiteral("В базе данных на сервере «%1» уже есть таблицы программы: "
                                     "они не будут перезаписаны")
                          .arg(serverFile));
    return server;
}

} // namespace

void createOnServer(const QString &serverFile, bool withSample)
{
    if (!withSample) {
        const auto server = emptyServerDatabase(serverFile);
        Schema::create(*server);
        return;
    }
    // The sample is made in a file as it always is, and carried over.
    const QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("пример.mdb"));
    {
        SqliteDatabase db(file, SqliteDatabase::OpenMode::CreateNew);
        Schema::create(db);
        fillSampleData(db);
    }
    pushToServer(file, serverFile);
}

QList<CarriedTable> pushToServer(const QString &file, const QString &serverFile)
{
    const auto source = Database::open(file)->connect();
    const auto server = emptyServerDatabase(serverFile);
    server->execScript(QStringLiteral("BEGIN"));
    try {
        Schema::create(*server);
        std::unique_ptr<PgCopy> copy;
        const QList<CarriedTable> carried = carry(
            *source,
            [&](const QString &table, const QStringList &columns) {
                copy = std::make_unique<PgCopy>(*server, table, columns);
                return [&copy](const QVariantList &row) { copy->add(row); };
            },
            [&] { std::exchange(copy, nullptr)->finish(); });
        // The indexes again, so that the server's statistics know the rows copied.
        Schema::addSpeedups(*server);
        server->execScript(QStringLiteral("COMMIT"));
        return carried;
    } catch (...) {
        if (!server->isLost())
            server->execScript(QStringLiteral("ROLLBACK"));
        throw;
    }
}

QList<CarriedTable> pullFromServer(const QString &serverFile, const QString &file)
{
    const auto source = Database::open(serverFile)->connect();
    QList<CarriedTable> carried;
    makeNewDatabaseFile(file, [&](SqliteDatabase &db) {
        db.exec(QStringLiteral("BEGIN"));
        std::unique_ptr<SqliteStatement> insert;
        carried = carry(
            *source,
            [&](const QString &table, const QStringList &columns) {
                QStringList names;
                QStringList parameters;
                for (qsizetype i = 0; i < columns.size(); ++i) {
                    names.append(quotedName(columns.at(i)));
                    parameters.append(QStringLiteral("?%1").arg(i + 1));
                }
                insert = std::make_unique<SqliteStatement>(
                    db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(quotedName(table), names.join(u','), parameters.join(u',')));
                return [&insert](const QVariantList &row) {
                    insert->reset();
                    for (qsizetype i = 0; i < row.size(); ++i)
                        insert->bind(int(i) + 1, row.at(i));
                    insert->step();
                };
            },
            [&] { insert.reset(); });
        db.exec(QStringLiteral("COMMIT"));
    });
    return carried;
}

void reportCarried(const QList<CarriedTable> &tables, QTextStream &out)
{
    for (const CarriedTable &table : tables)
        out << QStringLiteral("  %1: строк %2").arg(table.name).arg(table.rows) << '\n';
}
