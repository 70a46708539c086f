#include "db/ValuesImport.h"

#include "core/DbError.h"
#include "core/FileSystem.h"
#include "core/FormatSettings.h"
#include "core/ValueConversion.h"
#include "db/Backend.h"
#include "db/FieldInfo.h"
#include "db/Schema.h"

#include <QFile>
#include <QSet>
#include <array>

namespace {

// The columns of "Значения" a file gives, by their place in the table.
enum Column
{
    Discipline,
    Criterion,
    Tool,
    Value,
    Date,
    ColumnCount
};

const std::array<QString, ColumnCount> Titles = {
    QStringLiteral("Дисциплина"), QStringLiteral("Критерий"), QStringLiteral("Средство_ИКТ"),
    QStringLiteral("Значение"), QStringLiteral("Дата")};

// A title as it is compared: in any case, with a space for the underscore.
QString comparable(const QString &title)
{
    return title.trimmed().toLower().replace(u'_', u' ');
}

// Where each column of the table stands in the file's records; -1 where the file has none.
std::array<int, ColumnCount> columnsOf(const QStringList &titles)
{
    std::array<int, ColumnCount> at;
    at.fill(-1);
    for (int column = 0; column < ColumnCount; ++column) {
        const QString wanted = comparable(Titles[size_t(column)]);
        for (qsizetype i = 0; i < titles.size(); ++i) {
            if (comparable(titles.at(i)) == wanted && at[size_t(column)] < 0)
                at[size_t(column)] = int(i);
        }
    }
    return at;
}

// A reference table's name column and the names that stand in it.
struct ReferenceNames
{
    QString column; // its origin column; empty when the table has no text column
    QSet<QString> names;
};

ReferenceNames referenceNamesOf(DbConnection &connection, const QString &table)
{
    const Source every{QStringLiteral("SELECT * FROM [%1]").arg(table), {}};
    const SourceShape shape = connection.describe(every);
    const int nameAt = nameFieldIndex(shape.fields);
    ReferenceNames reference;
    if (nameAt < 0)
        return reference;
    reference.column = shape.fields.at(nameAt).originColumn;
    const auto rows = connection.read(every);
    while (rows->next())
        reference.names.insert(rows->text(nameAt));
    return reference;
}

// A value as a typed one is read: in the user's format, or with the other decimal separator.
QVariant valueOf(const QString &text, const FieldInfo &field)
{
    const NumberReading reading = readNumber(text, FormatSettings::instance().regionalLocale());
    return convertForColumn(
        reading.problem == NumberReading::Problem::OtherSeparator ? reading.corrected : text,
        field);
}

} // namespace

ValuesImport::Report ValuesImport::run(const QString &csvPath, DbConnection &connection) const
{
    if (const QString problem = fileUseProblem(csvPath, FileUse::Read); !problem.isEmpty())
        throw DbError(QStringLiteral("Не удалось прочитать файл «%1»: %2").arg(csvPath, problem));
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(
            QStringLiteral("Не удалось прочитать файл «%1»: %2").arg(csvPath, file.errorString()));
    const CsvTable table = readCsv(file.readAll());

    Report report;
    report.encoding = table.encoding;
    report.separator = table.separator;
    if (table.records.isEmpty())
        throw DbError(QStringLiteral("В файле «%1» нет ни одной строки").arg(csvPath));
    const std::array<int, ColumnCount> at = columnsOf(table.records.constFirst());
    for (int column = 0; column < Value + 1; ++column) {
        if (at[size_t(column)] < 0)
            throw DbError(QStringLiteral("В первой строке файла «%1» нет столбца «%2»: первая "
                                         "строка называет столбцы (Дисциплина, Критерий, "
                                         "Средство_ИКТ, Значение, Дата)")
                              .arg(csvPath, Titles[size_t(column)]));
    }

    const SourceShape values =
        connection.describe({QStringLiteral("SELECT * FROM [%1]").arg(Schema::Values), {}});
    if (values.fields.size() < ColumnCount)
        throw DbError(QStringLiteral("В таблице «%1» меньше пяти столбцов").arg(Schema::Values));
    FieldInfo valueField = values.fields.at(Value);
    valueField.requiresNumber = true;
    const FieldInfo &dateField = values.fields.at(Date);

    // Every line is read before anything is written: one wrong line, and nothing is added.
    const auto problem = [&report](int line, int column, const QString &reason) {
        if (++report.problemCount <= ListedProblems)
            report.problems.append(QStringLiteral("строка %1, столбец «%2»: %3")
                                       .arg(line)
                                       .arg(Titles[size_t(column)], reason));
    };
    QList<QVariantList> rows;
    for (qsizetype r = 1; r < table.records.size(); ++r) {
        const QStringList &record = table.records.at(r);
        const int line = table.lines.at(r);
        QVariantList row;
        for (int column = 0; column < ColumnCount; ++column) {
            const int i = at[size_t(column)];
            const QString text = i >= 0 ? record.value(i) : QString();
            try {
                if (column == Value) {
                    row.append(valueOf(text, valueField));
                } else if (column == Date) {
                    const QDate date = text.trimmed().isEmpty() ? today : readDate(text);
                    if (!date.isValid()) {
                        problem(line, column,
                                QStringLiteral("«%1» не является датой вида дд.мм.гггг или "
                                               "гггг-мм-дд")
                                    .arg(text));
                        continue;
                    }
                    row.append(convertForColumn(date.toString(u"dd.MM.yyyy"), dateField));
                } else {
                    row.append(text);
                }
            } catch (const DbError &e) {
                problem(line, column, e.message());
            }
        }
        rows.append(row);
    }
    report.rowsRead = int(rows.size());
    if (table.unclosedQuoteLine > 0)
        problem(table.unclosedQuoteLine, Discipline,
                QStringLiteral("кавычка открыта и не закрыта до конца файла"));
    if (!report.succeeded())
        return report;

    // Names the reference tables do not hold yet, each once, in the order they were met.
    const std::array<QString, 3> tables = {Schema::Disciplines, Schema::Criteria, Schema::IctTools};
    const std::array<QString, 3> kinds = {QStringLiteral("дисциплина"), QStringLiteral("критерий"),
                                          QStringLiteral("средство ИКТ")};
    std::array<QStringList, 3> unknown;
    std::array<QString, 3> nameColumns;
    for (int t = 0; t < 3; ++t) {
        ReferenceNames reference = referenceNamesOf(connection, tables[size_t(t)]);
        nameColumns[size_t(t)] = reference.column;
        QSet<QString> &known = reference.names;
        for (const QVariantList &row : std::as_const(rows)) {
            const QString name = row.at(t).toString();
            if (!known.contains(name)) {
                known.insert(name);
                unknown[size_t(t)].append(name);
                report.unknownNames.append(QStringLiteral("%1 «%2»").arg(kinds[size_t(t)], name));
            }
        }
    }

    const QStringList columns = {
        values.fields.at(Discipline).originColumn, values.fields.at(Criterion).originColumn,
        values.fields.at(Tool).originColumn, values.fields.at(Value).originColumn,
        values.fields.at(Date).originColumn};
    connection.requireWritable();
    connection.begin();
    try {
        if (addNames) {
            for (int t = 0; t < 3; ++t) {
                const QString &nameColumn = nameColumns[size_t(t)];
                if (nameColumn.isEmpty() && !unknown[size_t(t)].isEmpty()) {
                    throw DbError(
                        QStringLiteral("В таблице «%1» нет текстового столбца для названий")
                            .arg(tables[size_t(t)]));
                }
                for (const QString &name : std::as_const(unknown[size_t(t)])) {
                    connection.insert(tables[size_t(t)], {nameColumn}, {name});
                    ++report.namesAdded;
                }
            }
        }
        for (const QVariantList &row : std::as_const(rows))
            connection.insert(Schema::Values, columns, row);
        connection.commit();
    } catch (...) {
        connection.rollback();
        throw;
    }
    report.rowsAdded = int(rows.size());
    return report;
}

QStringList ValuesImport::Report::lines(const QString &csvPath) const
{
    QStringList lines;
    lines.append(QStringLiteral("Файл «%1»: кодировка %2, разделитель «%3», строк значений %4.")
                     .arg(csvPath, encodingName(encoding),
                          separator == u'\t' ? QStringLiteral("табуляция") : QString(separator))
                     .arg(rowsRead));
    if (!succeeded()) {
        lines.append(QStringLiteral("Ошибки в файле:"));
        for (const QString &problem : problems)
            lines.append(QStringLiteral("  ") + problem);
        if (problemCount > problems.size())
            lines.append(QStringLiteral("  …и ещё ошибок: %1").arg(problemCount - problems.size()));
        lines.append(QStringLiteral("Ничего не добавлено: исправьте эти строки и повторите."));
        return lines;
    }
    if (!unknownNames.isEmpty()) {
        lines.append((namesAdded > 0 ? QStringLiteral("Добавлены в справочники: %1.")
                                     : QStringLiteral("Нет в справочниках (добавит их "
                                                      "--add-names): %1."))
                         .arg(unknownNames.join(QStringLiteral(", "))));
    }
    lines.append(
        QStringLiteral("Добавлено значений: %1, названий: %2.").arg(rowsAdded).arg(namesAdded));
    return lines;
}
