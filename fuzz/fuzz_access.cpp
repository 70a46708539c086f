// The Access reader on any bytes: it reads every table to the end or refuses the file with
// a DbError. It runs libmdb in this process, so a fault that libmdb itself has on damaged
// files shows here too; the program only ever runs it in a child process with limits.
#include "access/reader/AccessReader.h"
#include "core/DbError.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QVariantList>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path =
        QDir::temp().filePath(QStringLiteral("orvinta-fuzz-%1.mdb").arg(::getpid()));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    try {
        AccessDatabase database(path);
        for (const QString &name : database.tableNames()) {
            auto table = database.openTable(name);
            QVariantList values;
            while (table->readRow(values)) {
            }
        }
    } catch (const DbError &) {
    }
    return 0;
}
