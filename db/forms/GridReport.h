#pragma once

#include "report/UnitReport.h"

#include <QObject>
#include <QPointer>
#include <QString>

class DataGrid;

// Sits beside a data grid and prints it as a report with a title. It does not own the grid.
class TGridReport : public QObject
{
    Q_OBJECT
public:
    explicit TGridReport(QObject *owner = nullptr);

    DataGrid *DBGrid() const;
    void setDBGrid(DataGrid *grid);

    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption) { m_caption = caption; }

    // Builds the report of the grid under the caption and previews it; returns when the
    // preview is closed. Throws DbError (see PrintGrid).
    void Print();

private:
    QPointer<DataGrid> m_grid;
    QString m_caption;
};

// The grid's visible columns in their on-screen order.
QList<GridColumn> gridColumns(const DataGrid &grid);

// Builds the report of the grid with the title and shows it in the preview; returns when the
// preview is closed. Throws DbError, and shows nothing, when the grid has no record set, the
// grid's pending edit is refused, or the records cannot be read.
void PrintGrid(DataGrid *grid, const QString &title);
