// Reading a spreadsheet's CSV file: any bytes give records, each with the line it starts on in
// order; the separator found splits the first record at least as much as any other would; and
// records written back with their separator read back as they were.
#include "core/Csv.h"

#include <QByteArray>
#include <algorithm>
#include <cstdlib>

namespace {

// A field quoted where it holds a quote, a line break or a separator.
QString quoted(const QString &field)
{
    static const QString special = QStringLiteral("\";,\t\n\r");
    if (std::none_of(field.cbegin(), field.cend(), [](QChar c) { return special.contains(c); }))
        return field;
    QString escaped = field;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const CsvTable table = readCsv(bytes);
    if (table.records.size() != table.lines.size())
        std::abort();
    for (qsizetype i = 1; i < table.lines.size(); ++i) {
        if (table.lines.at(i) <= table.lines.at(i - 1))
            std::abort();
    }
    if (!table.records.isEmpty()) {
        for (const QChar other : {QChar(u';'), QChar(u','), QChar(u'\t')}) {
            const CsvTable split = readCsv(bytes, other);
            if (!split.records.isEmpty() &&
                split.records.constFirst().size() > table.records.constFirst().size())
                std::abort();
        }
    }
    if (table.unclosedQuoteLine > 0)
        return 0;

    // Written back with every field quoted where it needs it, the records read the same. A
    // carriage return inside a field reads back as a line break, as a spreadsheet means it.
    QString text;
    for (const QStringList &record : table.records) {
        QStringList fields;
        for (QString field : record)
            fields.append(quoted(field.replace(u'\r', u'\n')));
        text += fields.join(table.separator) + QStringLiteral("\r\n");
    }
    const CsvTable again = readCsv(QByteArray("\xEF\xBB\xBF") + text.toUtf8(), table.separator);
    if (again.records.size() != table.records.size())
        std::abort();
    for (qsizetype i = 0; i < table.records.size(); ++i) {
        const QStringList &record = table.records.at(i);
        // A record that is one empty field is no record, and one written as such reads so.
        if (again.records.at(i) != record && !(record.size() == 1 && record.first().isEmpty()))
            std::abort();
    }
    return 0;
}
