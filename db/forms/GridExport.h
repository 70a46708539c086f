#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

// Rows of texts as a spreadsheet takes them in: fields apart by the separator, rows by the line
// end; a field that holds the separator, a quote or a line break goes in quotes, its quotes
// doubled. Tab-separated for the clipboard, CSV for a file.
QString delimitedText(const QList<QStringList> &rows, QChar separator, const QString &lineEnd);

// The CSV separator that goes with the user's numbers: ';' where the decimal separator is a
// comma (a spreadsheet would split "1,5" on a comma), ',' elsewhere.
QChar csvSeparator();
