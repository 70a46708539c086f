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
    explicit GridModel(QObject *parent = nullptr);

    RecordSet *recordSet() const { return m_records; }
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

    // The row the user is on; moving to another row first posts the pending edit, and a
    // refused post throws DbError with the edit still pending and the row unchanged.
    int currentRow() const { return m_currentRow; }
    void setCurrentRow(int row);

    bool hasPendingChanges() const;
    // Writes the pending edit or new row; throws DbError and keeps it pending when refused.
    void post();
    // Drops the pending edit or new row.
    void cancel();
    // Starts a new empty row at the end (posting the pending edit first); returns its row.
    int insertNewRow();
    // Deletes the current row from the file at once (a pending new row is just dropped).
    void deleteCurrentRow();

Q_SIGNALS:
    void currentRowChanged(int row);
    void pendingChanged(bool pending);

private:
    void resetFromRecordSet();
    int storedRows() const;

    QPointer<RecordSet> m_records;
    int m_currentRow = -1;
    int m_pendingRow = -1;          // row with edits not yet written
    bool m_pendingIsNew = false;    // the pending row is a new one, not yet in the file
    QMap<int, QVariant> m_pending;  // column -> new value
};
