#include "tools/NewDatabaseFile.h"

#include "core/DbError.h"
#include "core/FileSystem.h"
#include "db/Schema.h"
#include "db/Sqlite.h"

#include <QFile>
#include <QFileInfo>

void makeNewDatabaseFile(const QString &path, const std::function<void(SqliteDatabase &)> &fill)
{
    if (QFileInfo::exists(path))
        throw DbError(
            QStringLiteral("Файл «%1» уже существует: он не будет перезаписан").arg(path));
    if (const QString problem = fileUseProblem(path, FileUse::Create); !problem.isEmpty())
        throw DbError(
            QStringLiteral("Не удалось создать файл базы данных «%1»: %2").arg(path, problem));
    try {
        SqliteDatabase db(path, SqliteDatabase::OpenMode::CreateNew);
        Schema::create(db);
        fill(db);
    } catch (...) {
        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(path + suffix);
        throw;
    }
}
