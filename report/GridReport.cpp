#include "GridReport.h"

#include "DataGrid.h"
#include "UnitReport.h"

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
