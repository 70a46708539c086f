#include "db/ConnectionString.h"

#include "core/DbError.h"

namespace {

constexpr auto Prefix = u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
constexpr auto DataSourceKey = u"Data Source=";

} // namespace

QString connectionString(const QString &databasePath)
{
    return QString::fromUtf16(Prefix) + databasePath;
}

QString databasePathOf(const QString &connection)
{
    const QString key = QString::fromUtf16(DataSourceKey);
    const qsizetype at = connection.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0)
        throw DbError(
            QStringLiteral("В строке подключения не указан файл базы данных (Data Source)"));
    return connection.mid(at + key.size());
}
