#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariant>

// Conversions of Access values from the bytes of a row into what the native file keeps.
// Each one is pure, so that it can be checked without any Access file.
namespace AccessValue {

// An Access date (days since 1899-12-30; for a negative value the fraction is still a
// positive time of that day) as ISO 8601 text to the nearest millisecond,
// "yyyy-MM-ddTHH:mm:ss.zzz". A value outside the years 100 to 9999 that Access allows, or
// no number at all, gives a null QString. The import then shortens a whole column at once
// (see shortenedDates()).
QString dateText(double days);

// The statements that give a date column of `table` its shortest form that loses nothing,
// the same for every value: without milliseconds when none has any, and the date alone when
// every value is a midnight. Values that are no dates (kept as numbers) are left alone.
QStringList shortenedDates(const QString &quotedTable, const QString &quotedColumn);

// A Single as the double nearest to its shortest decimal form, so 1.1f becomes 1.1,
// the number that Access shows, and not 1.100000023841858.
double singleValue(float value);

// Currency: a count of ten-thousandths.
double currencyValue(qint64 tenThousandths);

// A replication ID (16 bytes) as Access shows it: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
// Null for another size.
QString guidText(QByteArrayView bytes);

// A Decimal (Jet 4: a sign byte and a 128-bit magnitude of four little-endian 32-bit words,
// the most significant first) as exact decimal text with `scale` digits after the point.
// Null for another size or a scale beyond 28.
QString decimalText(QByteArrayView bytes, int scale);

// The code page in which Jet 3 text bytes read far more plausibly than in Windows-1252:
// "1251" (Cyrillic) or "936" (Chinese, GBK); empty when they read as well in 1252, or when
// there are too few bytes above ASCII to tell. The rule: text of a Western language has its
// few letters above ASCII inside ASCII words, one or two together; text of a script wholly
// above ASCII has whole words of such bytes. Among such words, GBK's come in byte pairs of
// its Chinese characters (lead B0-F7, trail A1-FE) and Cyrillic in 1251 is the letters
// C0-FF (and Ё, ё at A8, B8).
QString likelierCodePage(QByteArrayView sample);

// Jet 4 text: UTF-16LE, or, after the marker FF FE, the compressed form in which a zero
// byte switches between one byte and two bytes a character.
QString jet4Text(QByteArrayView bytes);

} // namespace AccessValue
