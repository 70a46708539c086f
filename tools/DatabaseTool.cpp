#include "DatabaseTool.h"

#include "DbError.h"
#include "SampleData.h"
#include "Schema.h"
#include "Sqlite.h"

#include <QFile>
#include <QFileInfo>

namespace {

const char *const Usage =
    "Использование:\n"
    "  orvinta-db create ФАЙЛ   создать пустую базу данных с четырьмя таблицами\n"
    "  orvinta-db sample ФАЙЛ   создать базу данных с примером данных\n"
    "  orvinta-db check ФАЙЛ    проверить, подходит ли файл программе\n";

// Makes a new file with the four tables (and the sample, if asked); a file that is left
// half-made by a failure is removed again.
void createDatabase(const QString &path, bool withSample)
{
    if (QFileInfo::exists(path))
        throw DbError(QStringLiteral("Файл «%1» уже существует: он не будет перезаписан").arg(path));
    try {
        SqliteDatabase db(path, SqliteDatabase::OpenMode::CreateNew);
        Schema::create(db);
        if (withSample)
            fillSampleData(db);
    } catch (...) {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
        throw;
    }
}

int check(const QString &path, QTextStream &out)
{
    auto db = openMonitoringDatabase(path);
    qint64 counts[4] = {};
    const QStringList tables = {Schema::Disciplines, Schema::Criteria, Schema::IctTools,
                                Schema::Values};
    for (int i = 0; i < tables.size(); ++i) {
        SqliteStatement count(*db, QStringLiteral("SELECT count(*) FROM \"%1\"").arg(tables.at(i)));
        count.step();
        counts[i] = count.int64Value(0);
    }
    out << QStringLiteral("Файл «%1» подходит программе.").arg(path) << '\n';
    for (int i = 0; i < tables.size(); ++i)
        out << QStringLiteral("  %1: строк %2").arg(tables.at(i)).arg(counts[i]) << '\n';
    if (db->isReadOnly())
        out << QStringLiteral("  Файл открыт только для чтения.") << '\n';
    return 0;
}

} // namespace

int runDatabaseTool(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.size() != 2 || arguments.at(1).isEmpty()) {
        err << QString::fromUtf8(Usage);
        return 2;
    }
    const QString &command = arguments.at(0);
    const QString &path = arguments.at(1);
    try {
        if (command == u"create" || command == u"sample") {
            createDatabase(path, command == u"sample");
            out << QStringLiteral("Создан файл «%1».").arg(path) << '\n';
            return 0;
        }
        if (command == u"check")
            return check(path, out);
    } catch (const DbError &e) {
        err << e.message() << '\n';
        return 1;
    }
    err << QString::fromUtf8(Usage);
    return 2;
}
