#include "db/forms/GridReport.h"

#include "core/DbError.h"
#include "db/RecordSet.h"
#include "db/forms/DataGrid.h"
#include "db/forms/DataSource.h"
#include "report/Report.h"

#include <QHeaderView>

TGridReport::TGridReport(QObject *owner) : QObject(owner)
{}

DataGrid *TGridReport::DBGrid() const
{
    return m_grid;
}

void TGridReport::setDBGrid(DataGrid *grid)
{
    m_grid = grid;
}

void TGridReport::Print()
{
    PrintGrid(m_grid, m_caption);
}

QList<GridColumn> gridColumns(const DataGrid &grid)
{
    QList<GridColumn> columns;
    const RecordSet *records = grid.dataSource() ? grid.dataSource()->dataSet() : nullptr;
    if (!records)
        return columns;
    const QHeaderView *header = grid.horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (grid.isColumnHidden(logical) || logical >= records->fieldCount())
            continue;
        columns.append({records->fields().at(logical).name, grid.columnWidth(logical),
                        grid.columnAlignment(logical), grid.columnFont(logical).family()});
    }
    return columns;
}

void PrintGrid(DataGrid *grid, const QString &title)
{
    RecordSet *records = grid && grid->dataSource() ? grid->dataSource()->dataSet() : nullptr;
    if (!records)
        throw DbError(QStringLiteral("Таблица для печати не связана с набором данных"));
    // The report lists what the grid shows, so an edit still open in the grid goes in first.
    grid->postPending();
    const auto report = buildGridReport(*records, gridColumns(*grid), title);
    report->preview(grid->window());
}
