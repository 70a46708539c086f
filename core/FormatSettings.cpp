#include "core/FormatSettings.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

namespace {

bool isDatePatternLetter(QChar c)
{
    return c == u'd' || c == u'M' || c == u'y';
}

// Qt's short date pattern of a locale ("dd.MM.yyyy") in the classic notation ("dd/mm/yyyy"),
// and the separator that it uses.
std::pair<QString, QChar> classicShortDate(const QLocale &locale)
{
    const QString pattern = locale.dateFormat(QLocale::ShortFormat);
    QString classic;
    QChar separator;
    for (const QChar c : pattern) {
        if (isDatePatternLetter(c)) {
            classic += c.toLower();
        } else if (c.isSpace() || c.isPunct()) {
            if (separator.isNull())
                separator = c;
            classic += c == separator ? QChar(u'/') : c;
        }
    }
    if (separator.isNull())
        separator = u'.';
    return {classic, separator};
}

} // namespace

FormatSettings &FormatSettings::instance()
{
    static FormatSettings settings;
    return settings;
}

FormatSettings::FormatSettings()
{
    setRegionalLocale(QLocale::system());
}

void FormatSettings::setRegionalLocale(const QLocale &locale)
{
    m_regional = locale;
    std::tie(m_shortDateFormat, m_dateSeparator) = classicShortDate(locale);
}

QChar FormatSettings::decimalSeparator() const
{
    const QString point = m_regional.decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.front();
}

QString FormatSettings::longTimeFormat() const
{
    // Qt's long pattern ends with the time zone ("H:mm:ss t"); a desktop's long time format
    // is the time of day alone.
    QString pattern = m_regional.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    pattern.replace(zone, QString());
    return pattern.trimmed();
}

QString FormatSettings::formatShortDate(const QDate &date) const
{
    QString text;
    const QString &format = m_shortDateFormat;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i).toLower();
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run).toLower() == c)
            ++run;
        switch (c.unicode()) {
        case u'd':
            text += run == 1 ? QString::number(date.day())
                             : QStringLiteral("%1").arg(date.day(), 2, 10, QChar(u'0'));
            break;
        case u'm':
            text += run == 1 ? QString::number(date.month())
                             : QStringLiteral("%1").arg(date.month(), 2, 10, QChar(u'0'));
            break;
        case u'y':
            text += run <= 2 ? QStringLiteral("%1").arg(date.year() % 100, 2, 10, QChar(u'0'))
                             : QStringLiteral("%1").arg(date.year(), 4, 10, QChar(u'0'));
            break;
        case u'/':
            text += QString(run, m_dateSeparator);
            break;
        default:
            text += format.mid(i, run);
            break;
        }
        i += run;
    }
    return text;
}

QString FormatSettings::formatLongTime(const QTime &time) const
{
    return m_regional.toString(time, longTimeFormat());
}
