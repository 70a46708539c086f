#include "db/forms/GridExport.h"

#include "core/FormatSettings.h"

namespace {

QString field(const QString &text, QChar separator)
{
    const bool quoted = text.contains(separator) || text.contains(u'"') || text.contains(u'\n') ||
                        text.contains(u'\r');
    if (!quoted)
        return text;
    QString escaped = text;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

} // namespace

QString delimitedText(const QList<QStringList> &rows, QChar separator, const QString &lineEnd)
{
    QString text;
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i > 0)
                text += separator;
            text += field(row.at(i), separator);
        }
        text += lineEnd;
    }
    return text;
}

QChar csvSeparator()
{
    return FormatSettings::instance().decimalSeparator() == u',' ? u';' : u',';
}
