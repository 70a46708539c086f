#include "tools/DatabaseTool.h"

#include "access/AccessConversion.h"
#include "access/AccessFormat.h"
#include "access/AccessSnapshot.h"
#include "access/reader/AccessWorker.h"
#include "core/Clock.h"
#include "core/DbError.h"
#include "core/FileSystem.h"
#include "db/Database.h"
#include "db/Postgres.h"
#include "db/Schema.h"
#include "db/Sqlite.h"
#include "db/ValuesImport.h"
#include "tools/NewDatabaseFile.h"
#include "tools/SampleData.h"
#include "tools/ServerTransfer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace {

const char *const Usage =
    "Использование:\n"
    "  orvinta-db create ФАЙЛ   создать пустую базу данных с четырьмя таблицами\n"
    "  orvinta-db sample ФАЙЛ   создать базу данных с примером данных\n"
    "  orvinta-db check ФАЙЛ    проверить, подходит ли файл программе\n"
    "  orvinta-db optimize ФАЙЛ добавить индексы и счётчик, с которыми быстро строятся анализы\n"
    "                           и таблицы большой базы\n"
    "  orvinta-db import-values [--add-names] CSV ФАЙЛ\n"
    "                           добавить в «Значения» значения из файла CSV электронной таблицы\n"
    "    --add-names         добавить в справочники названия, которых в них ещё нет\n"
    "  orvinta-db push ФАЙЛ СЕРВЕР\n"
    "                           перенести четыре таблицы файла (и файла Access) в пустую\n"
    "                           базу данных на сервере\n"
    "  orvinta-db pull СЕРВЕР ФАЙЛ\n"
    "                           сделать файл базы данных из базы данных на сервере\n"
    "  СЕРВЕР — файл подключения к серверу (*.orvinta-server) со строкой подключения libpq,\n"
    "  например «host=сервер dbname=мониторинг user=учитель»; create, sample, check и optimize\n"
    "  принимают его вместо файла базы данных.\n"
    "  orvinta-db import [--code-page КП] [--time-limit С] [--memory-limit МБ] ACCESS ФАЙЛ\n"
    "                           перенести все таблицы файла Access в новую базу данных\n"
    "    --code-page КП      кодовая страница текстов Access 97, например 1251\n"
    "                        (без неё — та, что записана в файле)\n"
    "    --time-limit С      предел времени чтения в секундах (по умолчанию 30 с и 1 с на 4 МБ)\n"
    "    --memory-limit МБ   предел памяти чтения (по умолчанию 512 МБ и 4 размера файла)\n"
    "  Коды завершения: 0 — готово, 1 — ошибка, 2 — неверные аргументы,\n"
    "  3 — файл перенесён, но программе не подходит.\n";

// import's exit code when the conversion worked but the result lacks the four tables.
constexpr int ImportedButUnsuitable = 3;

// Makes a new file with the four tables (and the sample, if asked).
void createDatabase(const QString &path, bool withSample)
{
    makeNewDatabaseFile(path, [withSample](SqliteDatabase &db) {
        if (withSample)
            fillSampleData(db);
    });
}

// import's options before its two files; false on anything it does not know.
bool parseImport(const QStringList &arguments, AccessConversionOptions &options, QStringList &files)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!argument.startsWith(u"--")) {
            files.append(argument);
            continue;
        }
        if (i + 1 >= arguments.size())
            return false;
        const QString &value = arguments.at(++i);
        bool ok = true;
        if (argument == u"--code-page")
            options.codePage = value;
        else if (argument == u"--time-limit")
            options.timeLimitSeconds = value.toInt(&ok);
        else if (argument == u"--memory-limit")
            options.memoryLimitMb = value.toInt(&ok);
        else
            return false;
        if (!ok || (argument != u"--code-page" && value.toInt() <= 0))
            return false;
    }
    return files.size() == 2 && !files.at(0).isEmpty() && !files.at(1).isEmpty();
}

int check(const QString &path, QTextStream &out)
{
    const std::shared_ptr<const Database> database = Database::open(path);
    const auto connection = database->connect();
    const QStringList tables = {Schema::Disciplines, Schema::Criteria, Schema::IctTools,
                                Schema::Values};
    QList<qint64> counts;
    for (const QString &table : tables)
        counts.append(connection->count({QStringLiteral("SELECT * FROM [%1]").arg(table), {}}));
    out << (database->isOnServer()
                ? QStringLiteral("База данных на сервере «%1» подходит программе.")
                : QStringLiteral("Файл «%1» подходит программе."))
               .arg(path)
        << '\n';
    for (int i = 0; i < tables.size(); ++i)
        out << QStringLiteral("  %1: строк %2").arg(tables.at(i)).arg(counts.at(i)) << '\n';
    if (!database->sharingWarning().isEmpty())
        out << QStringLiteral("  ") << database->sharingWarning() << '.' << '\n';
    if (database->isOnServer())
        return 0;
    if (const AccessFormat format = accessFormatOf(path); format != AccessFormat::None) {
        out << QStringLiteral("  Это файл %1: программа откроет его только для чтения; изменяемую "
                              "копию делает orvinta-db import.")
                   .arg(accessFormatName(format))
            << '\n';
    } else if (const QString problem = fileUseProblem(path, FileUse::Write); !problem.isEmpty()) {
        out << QStringLiteral("  Изменения в него записать не удастся: %1.").arg(problem) << '\n';
    } else {
        try {
            connection->requireWritable();
        } catch (const DbError &) {
            out << QStringLiteral("  Файл открыт только для чтения.") << '\n';
        }
    }
    return 0;
}

// Adds the indexes of a file made by create to a file made without them, after saying what it
// will do; a file that has them is left as it is.
int optimize(const QString &path, QTextStream &out)
{
    if (isServerFile(path)) {
        const auto server = connectToServer(path);
        if (const QStringList missing = Schema::missingParts(*server); !missing.isEmpty())
            throw DbError(QStringLiteral("В базе данных на сервере «%1» нет: %2")
                              .arg(path, missing.join(QStringLiteral(", "))));
        const QStringList missing = Schema::missingSpeedups(*server);
        Schema::addSpeedups(*server);
        if (missing.isEmpty())
            out << QStringLiteral("В базе данных на сервере «%1» уже есть все индексы; статистика "
                                  "сервера обновлена.")
                       .arg(path);
        else
            out << QStringLiteral("В базу данных на сервере «%1» добавлены индексы: %2.")
                       .arg(path, missing.join(QStringLiteral(", ")));
        out << '\n';
        return 0;
    }
    if (accessFormatOf(path) != AccessFormat::None)
        throw DbError(QStringLiteral("Файл «%1» — файл Access: его программа не изменяет, индексы "
                                     "получает копия, которую делает orvinta-db import")
                          .arg(path));
    Database::open(path);
    SqliteDatabase db(path, SqliteDatabase::OpenMode::ReadWrite);
    const QStringList missing = Schema::missingSpeedups(db);
    if (missing.isEmpty()) {
        out << QStringLiteral("В файле «%1» уже есть все индексы.").arg(path) << '\n';
        return 0;
    }
    out << QStringLiteral("Добавляю в файл «%1» индексы и счётчик значений (%2): по ним быстро "
                          "строятся анализ эффективности, график и таблицы. В большой базе это "
                          "займёт время.")
               .arg(path, missing.join(QStringLiteral(", ")))
        << Qt::endl;
    QElapsedTimer timer;
    timer.start();
    Schema::addSpeedups(db);
    out << QStringLiteral("Индексы добавлены за %1 с.")
               .arg(QLocale(QLocale::Russian).toString(timer.elapsed() / 1000.0, 'f', 1))
        << '\n';
    return 0;
}

// Adds a spreadsheet's values to a database, and says what it did or, line by line, why it
// added nothing.
int importValues(const QString &csv, const QString &database, bool addNames, QTextStream &out,
                 QTextStream &err)
{
    try {
        const auto connection = Database::open(database)->connect();
        const ValuesImport::Report report =
            ValuesImport{addNames, currentDateTime().date()}.run(csv, *connection);
        for (const QString &line : report.lines(csv))
            (report.succeeded() ? out : err) << line << '\n';
        return report.succeeded() ? 0 : 1;
    } catch (const DbError &e) {
        err << e.message() << '\n';
        return 1;
    }
}

// Converts an Access file into a new database, reports each table with its rows, and ends
// with what check says of the result.
int import(const QString &source, const QString &destination, AccessConversionOptions options,
           QTextStream &out, QTextStream &err)
{
    const AccessFormat format = accessFormatOf(source);
    if (format == AccessFormat::None) {
        throw DbError(QFileInfo(source).isFile()
                          ? QStringLiteral("Файл «%1» не является файлом Access").arg(source)
                          : QStringLiteral("Файл Access «%1» не найден").arg(source));
    }
    // What the reader process said of a failure follows the message, for whoever looks
    // into it (a bug report, a test).
    QByteArray readerErrors;
    options.readerErrors = &readerErrors;
    QStringList warnings;
    options.warnings = &warnings;
    QList<ConvertedTable> tables;
    try {
        tables = convertAccessFile(converterProgram(), source, destination, options);
    } catch (const DbError &e) {
        err << e.message() << '\n';
        if (!readerErrors.trimmed().isEmpty())
            err << QStringLiteral("Сообщения программы чтения:") << '\n'
                << QString::fromUtf8(readerErrors);
        return 1;
    }
    out << QStringLiteral("Файл «%1» (%2) перенесён в «%3», таблиц %4:")
               .arg(source, accessFormatName(format), destination)
               .arg(tables.size())
        << '\n';
    for (const ConvertedTable &table : tables)
        out << QStringLiteral("  %1: строк %2").arg(table.name).arg(table.rows) << '\n';
    for (const QString &warning : std::as_const(warnings))
        err << QStringLiteral("Предупреждение: %1").arg(warning) << '\n';
    // Access does not always keep the count in a table's definition up to date; every row
    // of the data pages was read all the same.
    for (const ConvertedTable &table : tables) {
        if (table.rows != table.describedRows) {
            err << QStringLiteral(
                       "Предупреждение: в описании таблицы «%1» записано строк %2, а на "
                       "её страницах данных их %3: перенесено всё, что есть на страницах")
                       .arg(table.name)
                       .arg(table.describedRows)
                       .arg(table.rows)
                << '\n';
        }
    }
    try {
        return check(destination, out);
    } catch (const DbError &e) {
        err << QStringLiteral("Программе этот файл не подходит: %1").arg(e.message()) << '\n';
        return ImportedButUnsuitable;
    }
}

} // namespace

int runDatabaseTool(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    // Access files are read through their snapshots, as the program reads them.
    Database::setStandInFinder(&accessStandIn);
    if (!arguments.isEmpty() && arguments.first() == u"access-worker")
        return runAccessWorker(arguments.mid(1), out, err);
    if (!arguments.isEmpty() && arguments.first() == u"import") {
        AccessConversionOptions options;
        QStringList files;
        if (!parseImport(arguments, options, files)) {
            err << QString::fromUtf8(Usage);
            return 2;
        }
        try {
            return import(files.at(0), files.at(1), options, out, err);
        } catch (const DbError &e) {
            err << e.message() << '\n';
            return 1;
        }
    }
    if (!arguments.isEmpty() && arguments.first() == u"import-values") {
        QStringList files = arguments.mid(1);
        const bool addNames = files.removeAll(QStringLiteral("--add-names")) > 0;
        if (files.size() != 2 || files.at(0).isEmpty() || files.at(1).isEmpty() ||
            files.at(0).startsWith(u"--") || files.at(1).startsWith(u"--")) {
            err << QString::fromUtf8(Usage);
            return 2;
        }
        return importValues(files.at(0), files.at(1), addNames, out, err);
    }
    if (arguments.size() == 3 && (arguments.first() == u"push" || arguments.first() == u"pull")) {
        const bool push = arguments.first() == u"push";
        try {
            const QList<CarriedTable> carried =
                push ? pushToServer(arguments.at(1), arguments.at(2))
                     : pullFromServer(arguments.at(1), arguments.at(2));
            out << (push ? QStringLiteral("Файл «%1» перенесён в базу данных на сервере «%2»:")
                         : QStringLiteral("База данных на сервере «%1» перенесена в файл «%2»:"))
                       .arg(arguments.at(1), arguments.at(2))
                << '\n';
            reportCarried(carried, out);
            return 0;
        } catch (const DbError &e) {
            err << e.message() << '\n';
            return 1;
        }
    }
    if (arguments.size() != 2 || arguments.at(1).isEmpty()) {
        err << QString::fromUtf8(Usage);
        return 2;
    }
    const QString &command = arguments.at(0);
    const QString &path = arguments.at(1);
    try {
        if ((command == u"create" || command == u"sample") && isServerFile(path)) {
            createOnServer(path, command == u"sample");
            out << QStringLiteral("В базе данных на сервере «%1» созданы таблицы программы.")
                       .arg(path)
                << '\n';
            return 0;
        }
        if (command == u"create" || command == u"sample") {
            createDatabase(path, command == u"sample");
            out << QStringLiteral("Создан файл «%1».").arg(path) << '\n';
            if (const QString warning = sharedFileWarning(path); !warning.isEmpty())
                out << warning << '.' << '\n';
            return 0;
        }
        if (command == u"check")
            return check(path, out);
        if (command == u"optimize")
            return optimize(path, out);
    } catch (const DbError &e) {
        err << e.message() << '\n';
        return 1;
    }
    err << QString::fromUtf8(Usage);
    return 2;
}
