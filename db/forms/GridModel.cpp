#include "db/forms/GridModel.h"

#include "core/DbError.h"
#include "db/FieldInfo.h"
#include "db/RecordSet.h"

#include <QScopedValueRollback>
#include <algorithm>

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

void PendingEdit::startExisting(int row, RowKey key)
{
    m_row = row;
    m_isNew = false;
    m_key = key;
    m_values.clear();
}

void PendingEdit::startNew(int row)
{
    m_row = row;
    m_isNew = true;
    m_key = {};
    m_values.clear();
}

void PendingEdit::clear()
{
    m_row = -1;
    m_isNew = false;
    m_key = {};
    m_values.clear();
}

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
    connect(records, &QObject::destroyed, this, [this] {
        beginReset();
        endReset();
    });
    connect(records, &RecordSet::aboutToReset, this, &GridModel::beginReset);
    connect(records, &RecordSet::resetDone, this, &GridModel::endReset);
    connect(records, &RecordSet::rowsAboutToBeInserted, this, &GridModel::rowsAboutToBeInserted);
    connect(records, &RecordSet::rowsInserted, this, &GridModel::rowsInserted);
    connect(records, &RecordSet::rowAboutToBeRemoved, this, &GridModel::rowAboutToBeRemoved);
    connect(records, &RecordSet::rowRemoved, this, &GridModel::rowRemoved);
    connect(records, &RecordSet::rowChanged, this, &GridModel::rowChanged);
    connect(records, &RecordSet::refreshed, this, &GridModel::followRefresh);
}

// --- Following the record set

void GridModel::beginReset()
{
    if (m_inReset)
        return;
    beginResetModel();
    m_inReset = true;
    ++m_changingRows;
    // Closing or reopening the record set discards whatever was not written.
    m_pending.clear();
}

void GridModel::endReset()
{
    QString failure;
    m_storedRows = 0;
    m_failed = false;
    if (m_records && m_records->isOpen()) {
        try {
            m_storedRows = m_records->rowCount();
        } catch (const std::exception &e) {
            m_failed = true;
            failure = QString::fromUtf8(e.what());
        }
    }
    m_inReset = false;
    m_currentRow = rowCount() > 0 ? 0 : -1;
    endResetModel();
    --m_changingRows;
    Q_EMIT currentRowChanged(m_currentRow);
    Q_EMIT pendingChanged(false);
    if (!failure.isEmpty())
        Q_EMIT fetchFailed(failure);
}

int GridModel::modelRow(int stored) const
{
    return m_pending.isNew() && stored >= m_pending.row() ? stored + 1 : stored;
}

int GridModel::storedRow(int row) const
{
    return m_pending.isNew() && row > m_pending.row() ? row - 1 : row;
}

void GridModel::rowsAboutToBeInserted(int first, int last)
{
    if (m_inReset)
        return;
    ++m_changingRows;
    beginInsertRows({}, modelRow(first), modelRow(last));
    m_inserting = last - first + 1;
}

void GridModel::rowsInserted()
{
    if (m_inReset)
        return;
    m_storedRows += std::exchange(m_inserting, 0);
    endInsertRows();
    --m_changingRows;
    if (m_currentRow < 0)
        changeCurrentRow(0);
}

void GridModel::rowAboutToBeRemoved(int row)
{
    if (m_inReset)
        return;
    ++m_changingRows;
    m_removing = modelRow(row);
    beginRemoveRows({}, m_removing, m_removing);
}

void GridModel::rowRemoved()
{
    if (m_inReset)
        return;
    const int row = std::exchange(m_removing, -1);
    --m_storedRows;
    const bool pendingGone = m_pending.isActive() && !m_pending.isNew() && m_pending.row() == row;
    if (pendingGone)
        m_pending.clear();
    else if (m_pending.isActive() && m_pending.row() > row)
        m_pending.moveTo(m_pending.row() - 1);
    endRemoveRows();
    --m_changingRows;
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

void GridModel::followRefresh()
{
    if (!m_records || !m_records->isOpen() || m_inReset)
        return;
    int count = m_storedRows;
    try {
        count = m_records->rowCount();
    } catch (const std::exception &e) {
        Q_EMIT fetchFailed(QString::fromUtf8(e.what()));
        return;
    }
    // The edited row keeps its key; where it stands now, if it moved, is found by it.
    if (m_pending.isActive() && !m_pending.isNew()) {
        if (const int row = m_records->rowOf(m_pending.key()); row >= 0)
            m_pending.moveTo(modelRow(row));
    }
    const QScopedValueRollback<int> changing(m_changingRows, m_changingRows + 1);
    if (count > m_storedRows) {
        beginInsertRows({}, modelRow(m_storedRows), modelRow(count - 1));
        m_storedRows = count;
        endInsertRows();
    } else if (count < m_storedRows) {
        beginRemoveRows({}, modelRow(count), modelRow(m_storedRows - 1));
        m_storedRows = count;
        endRemoveRows();
    }
    if (rowCount() > 0 && columnCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    Q_EMIT headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
    if (m_currentRow >= rowCount())
        changeCurrentRow(rowCount() - 1);
}

// --- The model

int GridModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_storedRows + (m_pending.isNew() ? 1 : 0);
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

QVariant GridModel::storedValue(int row, int column) const
{
    // Called by views from the event loop: nothing may be thrown from here.
    try {
        return m_records->valueAt(row, column);
    } catch (const std::exception &e) {
        if (!std::exchange(m_failed, true)) {
            const QString message = QString::fromUtf8(e.what());
            auto *self = const_cast<GridModel *>(this);
            QMetaObject::invokeMethod(
                self, [self, message] { Q_EMIT self->fetchFailed(message); }, Qt::QueuedConnection);
        }
        return {};
    }
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
        if (row == m_pending.row() && m_pending.holds(column)) {
            const QVariant typed = m_pending.values().value(column);
            text =
                typed.typeId() == QMetaType::QString ? typed.toString() : valueText(typed, column);
        } else if (row != newRowIndex()) {
            text = valueText(storedValue(storedRow(row), column), column);
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
    if (section == m_pending.row())
        return QStringLiteral("✎");
    return section + 1;
}

bool GridModel::isEditable() const
{
    return m_records && m_records->isOpen() && m_records->isEditable();
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
        return m_storedRows > 0 && isNumber(storedValue(0, column)) ? Qt::AlignRight
                                                                    : Qt::AlignLeft;
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
    if (m_pending.isActive() && row != m_pending.row())
        return false;

    QVariant entered = value;
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        const bool pendingHere = row == m_pending.row() && m_pending.holds(column);
        if (!pendingHere && text == data(index, Qt::EditRole).toString())
            return true; // left as it was: nothing to write
        // An emptied number or date cell means "no value", not an empty text.
        if (text.isEmpty() && m_records->fields().at(column).conversion != WriteConversion::None)
            entered = QVariant();
    }

    const bool wasPending = hasPendingChanges();
    if (!wasPending)
        m_pending.startExisting(row, m_records->keyAt(storedRow(row)));
    m_pending.set(column, entered);
    if (!wasPending)
        Q_EMIT pendingChanged(true);
    emitRowChanged(row);
    changeCurrentRow(row);
    return true;
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
    if (hasPendingChanges() && row != m_pending.row()) {
        // A new row being written leaves its place: the rows below it move up.
        const bool belowNewRow = m_pending.isNew() && row > m_pending.row();
        post();
        if (belowNewRow && !m_pending.isNew())
            --row;
        row = std::min(row, rowCount() - 1);
    }
    changeCurrentRow(row);
}

void GridModel::clearPending()
{
    if (!m_pending.isActive())
        return;
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

void GridModel::removeNewRow()
{
    const int row = m_pending.row();
    const QScopedValueRollback<int> changing(m_changingRows, m_changingRows + 1);
    beginRemoveRows({}, row, row);
    m_pending.clear();
    endRemoveRows();
    // The view's current cell went with the row: it is put back in any case.
    if (m_currentRow >= row) {
        m_currentRow = std::min(row, rowCount() - 1);
        Q_EMIT currentRowChanged(m_currentRow);
    }
}

void GridModel::post()
{
    if (!m_pending.isActive())
        return;
    requireEditable();
    if (!m_pending.isNew()) {
        const int row = m_pending.row();
        try {
            m_records->updateRow(m_pending.key(), m_pending.values());
        } catch (const DbError &e) {
            // Someone changed the row meanwhile: what was typed stays, to be written over the
            // row as it is now if the user applies it again.
            if (e.kind() == DbErrorKind::Conflict)
                m_pending.setKey(m_records->keyAt(storedRow(row)));
            throw;
        }
        clearPending();
        emitRowChanged(row);
        return;
    }
    if (m_pending.values().isEmpty()) {
        cancel(); // nothing was typed into it
        return;
    }
    // The new row leaves its place for the one written, which takes its place among the rows;
    // refused, it comes back as it was.
    const PendingEdit typed = m_pending;
    removeNewRow();
    int written = -1;
    try {
        written = m_records->insertRow(typed.values());
    } catch (...) {
        beginInsertRows({}, typed.row(), typed.row());
        m_pending = typed;
        endInsertRows();
        changeCurrentRow(typed.row());
        throw;
    }
    Q_EMIT pendingChanged(false);
    if (written >= 0)
        changeCurrentRow(written);
}

void GridModel::cancel()
{
    if (!m_pending.isActive())
        return;
    if (!m_pending.isNew()) {
        const int row = m_pending.row();
        clearPending();
        emitRowChanged(row);
        return;
    }
    removeNewRow();
    Q_EMIT pendingChanged(false);
}

int GridModel::insertNewRow()
{
    requireEditable();
    post();
    // At the current position, before the row that stands there; at the end of no rows.
    const int row = m_currentRow >= 0 ? m_currentRow : m_storedRows;
    beginInsertRows({}, row, row);
    m_pending.startNew(row);
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
    // The record set announces the removal; rowAboutToBeRemoved() drops an edit of that row.
    m_records->deleteRow(storedRow(m_currentRow));
}
