#include "db/forms/GridModel.h"

#include "core/DbError.h"
#include "db/FieldInfo.h"
#include "db/RecordSet.h"

#include <QScopedValueRollback>
#include <algorithm>
#include <utility>

namespace {

// A cell is one line high: line breaks become spaces, and very long texts are cut.
QString oneLine(QString text)
{
    if (text.size() > GridModel::DisplayTextLimit)
        text.truncate(GridModel::DisplayTextLimit);
    for (QChar &c : text) {
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return text;
}

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

} // namespace

GridModel::GridModel(QObject *parent) : QAbstractTableModel(parent)
{}

RecordSet *GridModel::recordSet() const
{
    return m_records;
}

void GridModel::setRecordSet(RecordSet *records)
{
    if (records == m_records)
        return;
    if (m_records)
        disconnect(m_records, nullptr, this, nullptr);
    beginReset();
    m_records = records;
    connectRecordSet();
    endReset();
}

void GridModel::connectRecordSet()
{
    if (!m_records)
        return;
    RecordSet *records = m_records;
    connect(records, &QObject::destroyed, this, &GridModel::recordsDestroyed);
    connect(records, &RecordSet::aboutToReset, this, &GridModel::beginReset);
    connect(records, &RecordSet::resetDone, this, &GridModel::endReset);
    connect(records, &RecordSet::rowsAboutToBeAppended, this, &GridModel::rowsAboutToBeAppended);
    connect(records, &RecordSet::rowsAppended, this, &GridModel::rowsAppended);
    connect(records, &RecordSet::rowAboutToBeInserted, this, &GridModel::rowAboutToBeInserted);
    connect(records, &RecordSet::rowInserted, this, &GridModel::rowInserted);
    connect(records, &RecordSet::rowAboutToBeRemoved, this, &GridModel::rowAboutToBeRemoved);
    connect(records, &RecordSet::rowRemoved, this, &GridModel::rowRemoved);
    connect(records, &RecordSet::rowChanged, this, &GridModel::rowChanged);
}

// --- Following the record set

void GridModel::beginReset()
{
    if (m_inReset)
        return;
    beginResetModel();
    m_inReset = true;
    // Closing or reopening the record set discards whatever was not written.
    m_pendingRow = -1;
    m_pendingIsNew = false;
    m_pending.clear();
}

void GridModel::endReset()
{
    m_fetchFailed = false;
    QString failure;
    if (m_records && m_records->isOpen() && m_records->fetchedCount() == 0) {
        // The first rows come with the reset, so the record set is "on its first row" for
        // everyone, the navigator included, not only for a view that asks for more.
        try {
            m_records->fetch(FetchBatch);
        } catch (const std::exception &e) {
            m_fetchFailed = true;
            failure = QString::fromUtf8(e.what());
        }
    }
    m_inReset = false;
    m_currentRow = rowCount() > 0 ? 0 : -1;
    endResetModel();
    Q_EMIT currentRowChanged(m_currentRow);
    Q_EMIT pendingChanged(false);
    if (!failure.isEmpty())
        Q_EMIT fetchFailed(failure);
}

void GridModel::recordsDestroyed()
{
    beginReset();
    endReset();
}

int GridModel::modelRow(int stored) const
{
    return m_pendingIsNew && stored >= m_pendingRow ? stored + 1 : stored;
}

int GridModel::storedRow(int row) const
{
    return m_pendingIsNew && row > m_pendingRow ? row - 1 : row;
}

void GridModel::rowsAboutToBeAppended(int first, int last)
{
    if (m_inReset || m_postingNew)
        return;
    m_appending = last - first + 1;
    // A new row still being typed stays where it is; rows read meanwhile come after it.
    beginInsertRows({}, modelRow(first), modelRow(last));
}

void GridModel::rowsAppended()
{
    if (m_inReset)
        return;
    if (m_postingNew) {
        // The new row just written takes the place of the one shown while it was typed.
        const int row = m_pendingRow;
        clearPending();
        emitRowChanged(row);
        return;
    }
    m_appending = 0;
    endInsertRows();
    if (m_currentRow < 0)
        changeCurrentRow(0);
}

void GridModel::rowAboutToBeInserted(int row)
{
    if (m_inReset || m_postingNew)
        return;
    m_appending = 1;
    // Before a new row still being typed, the new row moves down with the rest.
    m_insertingAbove = m_pendingIsNew && row < m_pendingRow;
    const int shown = m_insertingAbove ? row : modelRow(row);
    beginInsertRows({}, shown, shown);
}

void GridModel::rowInserted()
{
    if (m_inReset)
        return;
    if (m_postingNew) {
        rowsAppended();
        return;
    }
    // A row written by someone else moves the rows from there on, the user's among them.
    m_appending = 0;
    if (std::exchange(m_insertingAbove, false)) {
        ++m_pendingRow;
        ++m_currentRow;
    }
    endInsertRows();
    if (m_currentRow < 0)
        changeCurrentRow(0);
}

void GridModel::rowAboutToBeRemoved(int row)
{
    if (m_inReset)
        return;
    m_removing = modelRow(row);
    beginRemoveRows({}, m_removing, m_removing);
}

void GridModel::rowRemoved()
{
    if (m_inReset)
        return;
    const int row = std::exchange(m_removing, -1);
    const bool pendingGone = m_pendingRow == row;
    if (pendingGone) {
        m_pendingRow = -1;
        m_pendingIsNew = false;
        m_pending.clear();
    } else if (m_pendingRow > row) {
        --m_pendingRow;
    }
    endRemoveRows();
    if (pendingGone)
        Q_EMIT pendingChanged(false);
    if (m_currentRow > row) {
        changeCurrentRow(m_currentRow - 1);
    } else if (m_currentRow == row) {
        // The next row takes the place of the removed one (the previous one at the end);
        // the number may stay the same, so the signal is sent in any case.
        m_currentRow = std::min(row, rowCount() - 1);
        Q_EMIT currentRowChanged(m_currentRow);
    }
}

void GridModel::rowChanged(int row)
{
    if (!m_inReset)
        emitRowChanged(modelRow(row));
}

// --- The model

int GridModel::storedRows() const
{
    return m_records ? m_records->fetchedCount() : 0;
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return storedRows() + (m_pendingIsNew ? 1 : 0);
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_records)
        return 0;
    return m_records->fieldCount();
}

QString GridModel::valueText(const QVariant &stored, int column) const
{
    return cellText(stored, m_records->fields().at(column));
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_records || index.column() >= columnCount())
        return {};
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        QString text;
        if (const auto typed = m_pending.constFind(column);
            row == m_pendingRow && typed != m_pending.cend()) {
            text = typed->typeId() == QMetaType::QString ? typed->toString()
                                                         : valueText(*typed, column);
        } else if (row != newRowIndex()) {
            text = valueText(m_records->valueAt(storedRow(row), column), column);
        }
        return role == Qt::DisplayRole ? oneLine(text) : text;
    }
    case Qt::TextAlignmentRole:
        return (columnAlignment(column) | Qt::AlignVCenter).toInt();
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal) {
        if (!m_records || section < 0 || section >= m_records->fieldCount())
            return {};
        return m_records->fields().at(section).displayLabel;
    }
    // The row indicator: a new row, an edited row not yet written, or the row's number.
    if (section == newRowIndex())
        return QStringLiteral("*");
    if (section == m_pendingRow)
        return QStringLiteral("✎");
    return section + 1;
}

bool GridModel::isEditable() const
{
    return m_records && m_records->isOpen() && m_records->isEditable();
}

bool GridModel::isChangingRows() const
{
    return m_inReset || m_postingNew || m_appending > 0 || m_removing >= 0;
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (isEditable() && index.column() < columnCount() &&
        m_records->fields().at(index.column()).kind != FieldKind::Binary)
        result |= Qt::ItemIsEditable;
    return result;
}

Qt::Alignment GridModel::columnAlignment(int column) const
{
    if (!m_records || column < 0 || column >= m_records->fieldCount())
        return Qt::AlignLeft;
    switch (m_records->fields().at(column).kind) {
    case FieldKind::Integer:
    case FieldKind::Float:
        return Qt::AlignRight;
    case FieldKind::Unknown:
        // An expression has no declared type: its first value tells.
        return isNumber(m_records->valueAt(0, column)) ? Qt::AlignRight : Qt::AlignLeft;
    default:
        return Qt::AlignLeft;
    }
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int row = index.row();
    const int column = index.column();
    // Only one row is edited at a time; the grid posts it before the user can leave it.
    if (m_pendingRow >= 0 && row != m_pendingRow)
        return false;

    QVariant entered = value;
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        const bool pendingHere = row == m_pendingRow && m_pending.contains(column);
        if (!pendingHere && text == data(index, Qt::EditRole).toString())
            return true; // left as it was: nothing to write
        // An emptied number or date cell means "no value", not an empty text.
        if (text.isEmpty() && m_records->fields().at(column).conversion != WriteConversion::None)
            entered = QVariant();
    }

    const bool wasPending = hasPendingChanges();
    m_pending.insert(column, entered);
    m_pendingRow = row;
    if (!wasPending)
        Q_EMIT pendingChanged(true);
    emitRowChanged(row);
    changeCurrentRow(row);
    return true;
}

bool GridModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_records && m_records->isOpen() && !m_records->allFetched() &&
           !m_fetchFailed;
}

void GridModel::fetchAll()
{
    while (canFetchMore())
        fetchMore();
}

void GridModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    // Called by views from the event loop: nothing may be thrown from here.
    try {
        m_records->fetch(FetchBatch);
    } catch (const std::exception &e) {
        m_fetchFailed = true;
        Q_EMIT fetchFailed(QString::fromUtf8(e.what()));
    }
}

// --- Current row, posting

void GridModel::changeCurrentRow(int row)
{
    if (row == m_currentRow)
        return;
    m_currentRow = row;
    Q_EMIT currentRowChanged(row);
}

void GridModel::setCurrentRow(int row)
{
    row = std::clamp(row, -1, rowCount() - 1);
    if (row == m_currentRow)
        return;
    if (hasPendingChanges() && row != m_pendingRow) {
        post();
        row = std::min(row, rowCount() - 1); // an empty new row may have gone
    }
    changeCurrentRow(row);
}

void GridModel::clearPending()
{
    if (m_pendingRow < 0)
        return;
    m_pendingRow = -1;
    m_pendingIsNew = false;
    m_pending.clear();
    Q_EMIT pendingChanged(false);
}

void GridModel::emitRowChanged(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    if (columnCount() > 0)
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
    Q_EMIT headerDataChanged(Qt::Vertical, row, row);
}

void GridModel::requireEditable() const
{
    if (!m_records)
        throw closedRecordSetError();
    m_records->requireOpen();
    if (!m_records->isEditable())
        throw readOnlyError();
}

void GridModel::post()
{
    if (m_pendingRow < 0)
        return;
    if (m_pendingIsNew) {
        if (m_pending.isEmpty()) {
            cancel(); // nothing was typed into it
            return;
        }
        requireEditable();
        const QScopedValueRollback<bool> posting(m_postingNew, true);
        // Stored where it is shown; rowInserted() turns the shown row into the stored one.
        m_records->insertRow(m_pending, m_pendingRow);
        return;
    }
    requireEditable();
    const int row = m_pendingRow;
    m_records->updateRow(row, m_pending);
    clearPending();
    emitRowChanged(row);
}

void GridModel::cancel()
{
    if (m_pendingRow < 0)
        return;
    const int row = m_pendingRow;
    if (!m_pendingIsNew) {
        clearPending();
        emitRowChanged(row);
        return;
    }
    const QScopedValueRollback<int> removing(m_removing, row);
    beginRemoveRows({}, row, row);
    m_pendingRow = -1;
    m_pendingIsNew = false;
    m_pending.clear();
    endRemoveRows();
    Q_EMIT pendingChanged(false);
    // The view's current cell went with the row: it is put back in any case.
    if (m_currentRow >= row) {
        m_currentRow = std::min(row, rowCount() - 1);
        Q_EMIT currentRowChanged(m_currentRow);
    }
}

int GridModel::insertNewRow()
{
    requireEditable();
    post();
    // At the current position, before the row that stands there; at the end of no rows.
    const int row = m_currentRow >= 0 ? m_currentRow : storedRows();
    beginInsertRows({}, row, row);
    m_pendingRow = row;
    m_pendingIsNew = true;
    m_pending.clear();
    endInsertRows();
    Q_EMIT pendingChanged(true);
    // The number may be the same as before, but the row is a new one: tell the views.
    m_currentRow = row;
    Q_EMIT currentRowChanged(row);
    return row;
}

void GridModel::deleteCurrentRow()
{
    if (m_currentRow < 0)
        return;
    if (m_currentRow == newRowIndex()) {
        cancel();
        return;
    }
    requireEditable();
    // The record set announces the removal; rowRemoved() drops an edit of that row.
    m_records->deleteRow(storedRow(m_currentRow));
}
