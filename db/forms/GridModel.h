#pragma once

#include <QAbstractTableModel>
#include <QMap>
#include <QPointer>

class RecordSet;

// A table model over a record set, for a grid: all columns in order, titled with their
// names; rows fetched lazily; edits of one row held until the row is left (or post() is
// called) and then written to exactly that row. A new row (insertNewRow) is held the same
// way until posted.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Rows read from the record set at a time, at binding and on each fetchMore().
    static constexpr int FetchBatch = 256;
    // Longer texts are cut for display (the cell elides them anyway); editing sees them whole.
    static constexpr int DisplayTextLimit = 1000;

    explicit GridModel(QObject *parent = nullptr);

    RecordSet *recordSet() const;
    // Binds another record set (nullptr for none); pending edits of the old one are dropped,
    // so callers post() first.
    void setRecordSet(RecordSet *records);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    bool canFetchMore(const QModelIndex &parent = {}) const override;
    void fetchMore(const QModelIndex &parent = {}) override;
    // Reads the record set to its end.
    void fetchAll();

    // Numbers to the right, everything else to the left.
    Qt::Alignment columnAlignment(int column) const;
    // Whether rows can be added, edited and deleted: an open record set over one table.
    bool isEditable() const;
    // True while rows come, go or are reset: a view's current index moves on its own then,
    // which is no move of the user.
    bool isChangingRows() const;

    // The row the user is on; moving to another row first posts the pending edit, and a
    // refused post throws DbError with the edit still pending and the row unchanged.
    int currentRow() const { return m_currentRow; }
    void setCurrentRow(int row);

    // The row with edits not yet written (the current one), -1 when there is none.
    int pendingRow() const { return m_pendingRow; }
    bool hasPendingChanges() const { return m_pendingRow >= 0; }
    bool isNewRowPending() const { return m_pendingIsNew; }
    // Writes the pending edit or new row; throws DbError and keeps it pending when refused.
    // A new row in which nothing was entered is dropped instead of written.
    void post();
    // Drops the pending edit or new row.
    void cancel();
    // Starts a new empty row at the current row, which moves down by one (posting the
    // pending edit first); returns its row. Posted, it is stored in the table and stays
    // where it was shown.
    int insertNewRow();
    // Deletes the current row from the file at once (a pending new row is just dropped).
    void deleteCurrentRow();

Q_SIGNALS:
    void currentRowChanged(int row);
    void pendingChanged(bool pending);
    // Reading more rows failed; no more are read until the record set is reset.
    void fetchFailed(const QString &message);

private:
    void connectRecordSet();
    void beginReset();
    void endReset();
    void recordsDestroyed();
    void rowsAboutToBeAppended(int first, int last);
    void rowsAppended();
    void rowAboutToBeInserted(int row);
    void rowInserted();
    void rowAboutToBeRemoved(int row);
    void rowRemoved();
    void rowChanged(int row);

    int storedRows() const;
    // Rows of the model and of the record set differ by the new row while one is pending.
    int modelRow(int stored) const;
    int storedRow(int row) const;
    int newRowIndex() const { return m_pendingIsNew ? m_pendingRow : -1; }
    void requireEditable() const;
    void changeCurrentRow(int row);
    void clearPending();
    void emitRowChanged(int row);
    void readFirstRows();
    QString valueText(const QVariant &stored, int column) const;

    QPointer<RecordSet> m_records;
    int m_currentRow = -1;
    int m_pendingRow = -1;         // row with edits not yet written
    bool m_pendingIsNew = false;   // the pending row is a new one, not yet in the file
    QMap<int, QVariant> m_pending; // column -> new value
    bool m_inReset = false;        // rows arriving while the model is being reset
    bool m_postingNew = false;     // the pending new row is being written
    bool m_fetchFailed = false;    // reading stopped on an error until the next reset
    int m_appending = 0;           // rows announced by rowsAboutToBeAppended
    bool m_insertingAbove = false; // a row comes in above the pending new row
    int m_removing = -1;           // row being removed (by the record set, or a new one dropped)
};
