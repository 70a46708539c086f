#pragma once

#include <QList>
#include <QString>
#include <memory>

class RecordSet;
class TReport;

// A grid column as the report takes it over: its field, its on-screen width in pixels, the
// alignment of its cells and the name of the font it is shown in.
struct GridColumn
{
    QString fieldName;
    int width = 0;
    Qt::Alignment alignment = Qt::AlignLeft;
    QString fontName;
};

// Builds the report of a grid's columns over its record set, under the title: the title on
// top of every page, one caption per column, one line per record and the page number. Columns
// keep their width; the page turns to landscape for the first column that passes the portrait
// width, and the first column that passes even the landscape width ends the columns. Throws
// DbError for a column whose field the record set lacks.
std::unique_ptr<TReport> buildGridReport(RecordSet &records, const QList<GridColumn> &columns,
                                         const QString &title);
