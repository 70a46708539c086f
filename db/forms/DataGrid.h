#pragma once

#include "db/forms/DataSource.h"

#include <QFont>
#include <QPointer>
#include <QTableView>

class GridDelegate;
class GridModel;

// A data grid bound to a data source: the toolkit's default columns (all of them, titled
// with their names, widths from the fields' display widths), in-place editing, and the
// edited row written when the user leaves it. A refused write shows the error and keeps the
// user on the row with the edit pending. Rows have one fixed height and long texts are
// elided, so that large tables scroll smoothly.
class DataGrid : public QTableView
{
    Q_OBJECT
public:
    // Widest default column, in characters, whatever the field's display width.
    static constexpr int MaxDefaultColumnChars = 60;

    explicit DataGrid(QWidget *parent = nullptr);

    DataSource *dataSource() const { return m_source; }
    void setDataSource(DataSource *source);

    // Commits an open cell editor into the model and writes the pending row; throws
    // DbError (edit kept pending) when the database refuses it.
    void postPending();
    // Hands the text of an open cell editor to the model, without writing it.
    void commitOpenEditor();
    // Drops the pending edit or new row, and what an open cell editor holds.
    void cancelPending();
    // Reads the rows to the end and makes the last one current, scrolled into view.
    void showLastRow();

    // The font a column is shown in (the grid's font unless one was set for it).
    QFont columnFont(int column) const;
    void setColumnFont(int column, const QFont &font);
    // The alignment of a column's cells: numbers to the right, everything else to the left.
    Qt::Alignment columnAlignment(int column) const;

    // The selected cells (the rectangle around them) as tab-separated text, the values
    // written as the grid shows them, with the user's decimal separator.
    QString selectedText() const;
    // Ctrl+C, and «Копировать» in the context menu: the selected cells to the clipboard.
    void copySelection() const;
    // Every row (read to the end), under a line of column titles, into a CSV file in UTF-8;
    // throws DbError when the file cannot be written.
    void saveCsv(const QString &path);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    GridModel *gridModel() const;
    QStringList rowTexts(int row, int firstColumn, int lastColumn) const;
    void saveCsvAsked();
    void modelWasReset();
    void showCurrentRow();
    void refuseRowChange(const QString &message);
    void applyDefaultColumnWidths();

    QPointer<DataSource> m_source;
    GridDelegate *m_delegate;
    bool m_refusalQueued = false;
    bool m_followingView = false; // the model is being moved to the view's current row
};
