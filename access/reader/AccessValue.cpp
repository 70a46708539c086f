#include "access/reader/AccessValue.h"

#include <QDate>
#include <QtEndian>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace AccessValue {

namespace {

// 1899-12-30, day 0 of Access dates.
const QDate Epoch(1899, 12, 30);
constexpr qint64 MillisecondsPerDay = 86400000;

} // namespace

QString dateText(double days)
{
    // Years 100 to 9999 lie within these days; beyond them (or NaN) the number is no date.
    if (!(days > -657435.0 - 1 && days < 2958466.0))
        return {};
    double whole = 0;
    const double fraction = std::abs(std::modf(days, &whole));
    qint64 milliseconds = std::llround(fraction * MillisecondsPerDay);
    qint64 day = qint64(whole);
    if (milliseconds >= MillisecondsPerDay) { // the time rounded up to the next midnight
        milliseconds -= MillisecondsPerDay;
        ++day;
    }
    const QDate date = Epoch.addDays(day);
    if (!date.isValid() || date.year() < 100 || date.year() > 9999)
        return {};
    const QString dateText = QStringLiteral("%1-%2-%3")
                                 .arg(date.year(), 4, 10, QLatin1Char('0'))
                                 .arg(date.month(), 2, 10, QLatin1Char('0'))
                                 .arg(date.day(), 2, 10, QLatin1Char('0'));
    const qint64 seconds = milliseconds / 1000;
    return dateText + QStringLiteral("T%1:%2:%3.%4")
                          .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                          .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                          .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                          .arg(milliseconds % 1000, 3, 10, QLatin1Char('0'));
}

QStringList shortenedDates(const QString &quotedTable, const QString &quotedColumn)
{
    // "yyyy-MM-ddTHH:mm:ss.zzz": the milliseconds from character 20, the time from 11.
    const QString dates = QStringLiteral("typeof(%1) = 'text'").arg(quotedColumn);
    return {
        QStringLiteral("UPDATE %1 SET %2 = substr(%2, 1, 19) WHERE %3 AND NOT EXISTS "
                       "(SELECT 1 FROM %1 WHERE %3 AND substr(%2, 20) <> '.000')")
            .arg(quotedTable, quotedColumn, dates),
        QStringLiteral("UPDATE %1 SET %2 = substr(%2, 1, 10) WHERE %3 AND NOT EXISTS "
                       "(SELECT 1 FROM %1 WHERE %3 AND substr(%2, 11) <> 'T00:00:00')")
            .arg(quotedTable, quotedColumn, dates),
    };
}

double singleValue(float value)
{
    if (!std::isfinite(value))
        return double(value);
    std::array<char, 64> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size() - 1, value);
    *written.ptr = '\0';
    return std::strtod(text.data(), nullptr);
}

double currencyValue(qint64 tenThousandths)
{
    return double(tenThousandths) / 10000.0;
}

QString guidText(QByteArrayView bytes)
{
    if (bytes.size() != 16)
        return {};
    const auto *b = reinterpret_cast<const uchar *>(bytes.data());
    const auto hex = [b](int from, int to) {
        return QByteArray(reinterpret_cast<const char *>(b + from), to - from).toHex().toUpper();
    };
    // The first three groups are little-endian numbers, the last two plain bytes.
    const QByteArray first =
        QByteArray::number(qFromLittleEndian<quint32>(b), 16).rightJustified(8, '0').toUpper();
    const QByteArray second =
        QByteArray::number(qFromLittleEndian<quint16>(b + 4), 16).rightJustified(4, '0').toUpper();
    const QByteArray third =
        QByteArray::number(qFromLittleEndian<quint16>(b + 6), 16).rightJustified(4, '0').toUpper();
    return QStringLiteral("{%1-%2-%3-%4-%5}")
        .arg(QString::fromLatin1(first), QString::fromLatin1(second), QString::fromLatin1(third),
             QString::fromLatin1(hex(8, 10)), QString::fromLatin1(hex(10, 16)));
}

QString decimalText(QByteArrayView bytes, int scale)
{
    if (bytes.size() != 17 || scale < 0 || scale > 28)
        return {};
    const auto *b = reinterpret_cast<const uchar *>(bytes.data());
    const bool negative = (b[0] & 0x80) != 0;
    std::array<quint32, 4> words{}; // most significant first
    for (int i = 0; i < 4; ++i)
        words[size_t(i)] = qFromLittleEndian<quint32>(b + 1 + 4 * i);

    // Long division by ten, digit by digit, least significant first.
    QString digits;
    auto isZero = [&words] {
        return words[0] == 0 && words[1] == 0 && words[2] == 0 && words[3] == 0;
    };
    const bool zero = isZero();
    while (!isZero()) {
        quint64 remainder = 0;
        for (quint32 &word : words) {
            const quint64 current = (remainder << 32) | word;
            word = quint32(current / 10);
            remainder = current % 10;
        }
        digits.prepend(QChar(u'0' + char16_t(remainder)));
    }
    if (digits.size() <= scale)
        digits = QString(scale + 1 - digits.size(), u'0') + digits;
    if (scale > 0)
        digits.insert(digits.size() - scale, u'.');
    return negative && !zero ? u'-' + digits : digits;
}

QString likelierCodePage(QByteArrayView sample)
{
    constexpr qsizetype FewestHighBytes = 16;
    qsizetype high = 0;
    qsizetype inWords = 0; // high bytes in runs of three or more
    qsizetype runs = 0;
    qsizetype evenRuns = 0;
    qsizetype hanziPairs = 0;
    qsizetype pairs = 0;
    qsizetype cyrillic = 0;
    for (qsizetype i = 0; i < sample.size();) {
        if (uchar(sample[i]) < 0x80) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < sample.size() && uchar(sample[end]) >= 0x80)
            ++end;
        const qsizetype length = end - i;
        high += length;
        if (length >= 3)
            inWords += length;
        ++runs;
        evenRuns += length % 2 == 0;
        for (qsizetype j = i; j < end; ++j) {
            const uchar byte = uchar(sample[j]);
            cyrillic += byte >= 0xC0 || byte == 0xA8 || byte == 0xB8;
        }
        for (qsizetype j = i; j + 1 < end; j += 2) {
            ++pairs;
            const uchar lead = uchar(sample[j]);
            const uchar trail = uchar(sample[j + 1]);
            hanziPairs += lead >= 0xB0 && lead <= 0xF7 && trail >= 0xA1 && trail <= 0xFE;
        }
        i = end;
    }
    if (high < FewestHighBytes || inWords * 2 < high)
        return {};
    if (evenRuns * 20 >= runs * 19 && pairs > 0 && hanziPairs * 10 >= pairs * 9)
        return QStringLiteral("936");
    if (cyrillic * 10 >= high * 9)
        return QStringLiteral("1251");
    return {};
}

QString jet4Text(QByteArrayView bytes)
{
    const auto *b = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    if (size >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        QString text;
        text.reserve(size);
        bool compressed = true;
        for (qsizetype i = 2; i < size;) {
            if (b[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                text.append(QChar(char16_t(b[i])));
                ++i;
            } else if (i + 1 < size) {
                text.append(QChar(char16_t(b[i] | (b[i + 1] << 8))));
                i += 2;
            } else {
                break; // half a character at the end: nothing to make of it
            }
        }
        return text;
    }
    QString text(size / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i + 1 < size; i += 2)
        text[i / 2] = QChar(char16_t(b[i] | (b[i + 1] << 8)));
    return text;
}

} // namespace AccessValue
