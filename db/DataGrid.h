#pragma once

#include <QFont>
#include <QHash>
#include <QTableView>

class DataSource;

// A data grid bound to a data source: the toolkit's default columns (all of them, titled
// with their names, widths from the fields' display widths), in-place editing, and the
// edited row written when the user leaves it. A refused write shows the error and keeps the
// user on the row with the edit pending.
class DataGrid : public QTableView
{
    Q_OBJECT
public:
    explicit DataGrid(QWidget *parent = nullptr);

    DataSource *dataSource() const { return m_source; }
    void setDataSource(DataSource *source);

    // Commits an open cell editor into the model and writes the pending row; throws
    // DbError (edit kept pending) when the database refuses it.
    void postPending();

    // The font a column is shown in (the grid's font unless one was set for it).
    QFont columnFont(int column) const;
    void setColumnFont(int column, const QFont &font);
    // The alignment of a column's cells: numbers to the right, everything else to the left.
    Qt::Alignment columnAlignment(int column) const;

private:
    void applyDefaultColumnWidths();

    DataSource *m_source = nullptr;
    QHash<int, QFont> m_columnFonts;
};
