#include "core/Csv.h"

#include <QStringDecoder>
#include <array>

namespace {

// Windows-1251 from 0x80 on; 0xC0 to 0xFF are А to я in order.
constexpr std::array<char16_t, 64> Windows1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

// The text, and how it was written: UTF-8 when it is valid UTF-8 (its byte-order mark, if any,
// dropped), Windows-1251 otherwise.
QString decoded(const QByteArray &bytes, CsvTable::Encoding &encoding)
{
    // The decoder drops one byte-order mark at the start, and only that one.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError()) {
        encoding = CsvTable::Encoding::Utf8;
        return text;
    }
    encoding = CsvTable::Encoding::Windows1251;
    return fromWindows1251(bytes);
}

// Reads the records of the text with the separator into the table; with a limit, no more than
// that many.
void readRecords(const QString &text, QChar separator, CsvTable &table, qsizetype limit = -1)
{
    QStringList record;
    QString field;
    bool quoted = false;       // inside a quoted field
    bool fieldStarted = false; // something of the record has been read
    int line = 1;
    int recordLine = 1;
    const auto endField = [&] {
        record.append(field);
        field.clear();
    };
    const auto endRecord = [&] {
        endField();
        // A line with nothing on it is no record.
        if (record.size() > 1 || !record.constFirst().isEmpty()) {
            table.records.append(record);
            table.lines.append(recordLine);
        }
        record.clear();
        fieldStarted = false;
    };
    for (qsizetype i = 0; i < text.size() && table.records.size() != limit; ++i) {
        const QChar c = text.at(i);
        if (!fieldStarted) {
            recordLine = line;
            fieldStarted = true;
        }
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text.at(i + 1) == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n')
                    ++line;
                // A line break inside a field is kept as one "\n", whatever the file used.
                if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                    continue;
                field += c == u'\r' ? QChar(u'\n') : c;
            }
            continue;
        }
        // A quote opens a field only at its start; elsewhere it is a character of the field.
        if (c == u'"' && field.isEmpty()) {
            quoted = true;
        } else if (c == separator) {
            endField();
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            endRecord();
            ++line;
        } else {
            field += c;
        }
    }
    if (table.records.size() == limit)
        return;
    if (quoted) {
        table.unclosedQuoteLine = recordLine;
        return;
    }
    if (fieldStarted)
        endRecord();
}

// The separator that splits the first record into the most fields, read as the records are:
// ";" on a tie, as Russian spreadsheets write it, then ",".
QChar separatorOf(const QString &text)
{
    QChar best = u';';
    qsizetype most = 0;
    for (const QChar candidate : {QChar(u';'), QChar(u','), QChar(u'\t')}) {
        CsvTable first;
        readRecords(text, candidate, first, 1);
        const qsizetype fields = first.records.isEmpty() ? 0 : first.records.constFirst().size();
        if (fields > most) {
            most = fields;
            best = candidate;
        }
    }
    return best;
}

} // namespace

QString fromWindows1251(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < 0x80)
            text += QLatin1Char(char(code));
        else if (code >= 0xC0)
            text += QChar(char16_t(0x0410 + (code - 0xC0)));
        else
            text += QChar(Windows1251High[code - 0x80]);
    }
    return text;
}

QString encodingName(CsvTable::Encoding encoding)
{
    return encoding == CsvTable::Encoding::Utf8 ? QStringLiteral("UTF-8")
                                                : QStringLiteral("Windows-1251");
}

CsvTable readCsv(const QByteArray &bytes)
{
    CsvTable table;
    const QString text = decoded(bytes, table.encoding);
    table.separator = separatorOf(text);
    readRecords(text, table.separator, table);
    return table;
}

CsvTable readCsv(const QByteArray &bytes, QChar separator)
{
    CsvTable table;
    table.separator = separator;
    readRecords(decoded(bytes, table.encoding), separator, table);
    return table;
}
