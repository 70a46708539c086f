#pragma once

#include <QChar>
#include <QLocale>
#include <QString>

class QDate;
class QTime;

// The process-wide format settings through which dates and numbers are turned into text.
// The short date format is written in the classic notation ("dd.mm.yyyy": d day, m month,
// y year, "/" the date separator); the decimal separator and the long time format follow
// the user's regional settings and are never changed by the program.
class FormatSettings
{
public:
    static FormatSettings &instance();

    QString shortDateFormat() const { return m_shortDateFormat; }
    void setShortDateFormat(const QString &format) { m_shortDateFormat = format; }

    QChar dateSeparator() const { return m_dateSeparator; }
    void setDateSeparator(QChar separator) { m_dateSeparator = separator; }

    // The user's regional settings (the system locale unless a test set another).
    QLocale regionalLocale() const { return m_regional; }
    void setRegionalLocale(const QLocale &locale);

    QChar decimalSeparator() const;
    QString longTimeFormat() const;

    QString formatShortDate(const QDate &date) const;
    QString formatLongTime(const QTime &time) const;

private:
    FormatSettings();

    QLocale m_regional;
    QString m_shortDateFormat;
    QChar m_dateSeparator;
};
