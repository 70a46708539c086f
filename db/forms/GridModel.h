#pragma once

#include "db/Backend.h"

#include <QAbstractTableModel>
#include <QMap>
#include <QPointer>

class RecordSet;

// The one row a user edits and has not written yet: an existing row, known by its key, or a
// new one shown at a place of its own until it is written.
class PendingEdit
{
public:
    bool isActive() const { return m_row >= 0; }
    bool isNew() const { return m_isNew; }
    int row() const { return m_row; }
    RowKey key() const { return m_key; }
    const QMap<int, QVariant> &values() const { return m_values; }
    bool holds(int column) const { return m_values.contains(column); }

    void startExisting(int row, RowKey key);
    void startNew(int row);
    void set(int column, const QVariant &value) { m_values.insert(column, value); }
    void moveTo(int row) { m_row = row; }
    void setKey(RowKey key) { m_key = key; }
    void clear();

private:
    int m_row = -1;
    bool m_isNew = false;
    RowKey m_key;
    QMap<int, QVariant> m_values; // column -> value typed
};

// A table model over a record set, for a grid: all columns in order, titled with their names,
// every row at once (the record set reads the rows shown as they are asked for). Edits of one
// row are held until the row is left (or post() is called) and then written to exactly that
// row, by its key. A new row (insertNewRow) is held the same way until posted; written, it
// takes its place among the rows in their order.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
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

    // Numbers to the right, everything else to the left.
    Qt::Alignment columnAlignment(int column) const;
    // Whether rows can be added, edited and deleted: an open record set over one table.
    bool isEditable() const;
    // True while rows come, go or are reset: a view's current index moves on its own then,
    // which is no move of the user.
    bool isChangingRows() const { return m_changingRows > 0; }

    // The row the user is on; moving to another row first posts the pending edit, and a
    // refused post throws DbError with the edit still pending and the row unchanged.
    int currentRow() const { return m_currentRow; }
    void setCurrentRow(int row);

    // The row with edits not yet written (the current one), -1 when there is none.
    int pendingRow() const { return m_pending.row(); }
    bool hasPendingChanges() const { return m_pending.isActive(); }
    bool isNewRowPending() const { return m_pending.isNew(); }
    // Writes the pending edit or new row; throws DbError and keeps it pending when refused.
    // A new row in which nothing was entered is dropped instead of written.
    void post();
    // Drops the pending edit or new row.
    void cancel();
    // Starts a new empty row at the current row, which moves down by one (posting the
    // pending edit first); returns its row.
    int insertNewRow();
    // Deletes the current row from the database at once (a pending new row is just dropped).
    void deleteCurrentRow();

Q_SIGNALS:
    void currentRowChanged(int row);
    void pendingChanged(bool pending);
    // Reading rows failed; the message says why. Rows that cannot be read show empty.
    void fetchFailed(const QString &message);

private:
    void connectRecordSet();
    void beginReset();
    void endReset();
    void rowsAboutToBeInserted(int first, int last);
    void rowsInserted();
    void rowAboutToBeRemoved(int row);
    void rowRemoved();
    void rowChanged(int row);
    void followRefresh();

    // Rows of the model and of the record set differ by the new row while one is pending.
    int modelRow(int stored) const;
    int storedRow(int row) const;
    int newRowIndex() const { return m_pending.isNew() ? m_pending.row() : -1; }
    void requireEditable() const;
    void changeCurrentRow(int row);
    void clearPending();
    void emitRowChanged(int row);
    void removeNewRow();
    QString valueText(const QVariant &stored, int column) const;
    QVariant storedValue(int row, int column) const;

    QPointer<RecordSet> m_records;
    // The record set's rows as this model last told its views.
    int m_storedRows = 0;
    int m_currentRow = -1;
    PendingEdit m_pending;
    int m_changingRows = 0;        // rows coming, going or reset just now
    int m_inserting = 0;           // rows announced as coming
    int m_removing = -1;           // the row announced as going
    bool m_inReset = false;        // between aboutToReset and resetDone of the record set
    mutable bool m_failed = false; // a failed read was reported; reported again after a reset
};
