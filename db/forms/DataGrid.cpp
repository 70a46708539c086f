#include "db/forms/DataGrid.h"

#include "db/FieldInfo.h"
#include "db/RecordSet.h"
#include "db/forms/DataSource.h"
#include "db/forms/GridExport.h"
#include "db/forms/GridModel.h"

#include "core/DbError.h"
#include "core/Waiting.h"
#include "ui/Dialogs.h"
#include "ui/ErrorGuard.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QGuiApplication>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QSaveFile>
#include <QScopedValueRollback>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <algorithm>

// Draws cells in their column's font and knows the one editor the grid has open.
class GridDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *openEditor() const { return m_editor; }

    QFont columnFont(int column, const QFont &fallback) const
    {
        return m_fonts.value(column, fallback);
    }
    void setColumnFont(int column, const QFont &font) { m_fonts.insert(column, font); }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        m_editor = editor;
        return editor;
    }

    void destroyEditor(QWidget *editor, const QModelIndex &index) const override
    {
        if (m_editor == editor)
            m_editor = nullptr;
        QStyledItemDelegate::destroyEditor(editor, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (const auto font = m_fonts.constFind(index.column()); font != m_fonts.cend()) {
            option->font = *font;
            option->fontMetrics = QFontMetrics(*font);
        }
    }

private:
    QHash<int, QFont> m_fonts;
    mutable QPointer<QWidget> m_editor;
};

namespace {

// Room for the cell's margins and the grid line beside the text.
constexpr int CellPadding = 12;

} // namespace

DataGrid::DataGrid(QWidget *parent) : QTableView(parent), m_delegate(new GridDelegate(this))
{
    setItemDelegate(m_delegate);
    setEditTriggers(DoubleClicked | SelectedClicked | EditKeyPressed | AnyKeyPressed);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);

    // One height for every row: the view then never measures rows, however many there are.
    QHeaderView *rows = verticalHeader();
    const int rowHeight = fontMetrics().height() + 6;
    rows->setMinimumSectionSize(rowHeight);
    rows->setDefaultSectionSize(rowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
}

GridModel *DataGrid::gridModel() const
{
    return m_source ? m_source->model() : nullptr;
}

void DataGrid::setDataSource(DataSource *source)
{
    if (source == m_source)
        return;
    if (GridModel *old = gridModel())
        disconnect(old, nullptr, this, nullptr);
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    setModel(source ? source->model() : nullptr);
    GridModel *model = gridModel();
    if (!model)
        return;
    connect(model, &QAbstractItemModel::modelReset, this, &DataGrid::modelWasReset);
    connect(model, &GridModel::currentRowChanged, this, &DataGrid::showCurrentRow);
    connect(model, &GridModel::fetchFailed, this, [this](const QString &message) {
        // Rows are read from inside the view's own event handling; the box comes after it.
        QMetaObject::invokeMethod(
            this, [this, message] { showError(this, message); }, Qt::QueuedConnection);
    });
    connect(source, &DataSource::updateRecordRequested, this, &DataGrid::commitOpenEditor);
    modelWasReset();
}

void DataGrid::commitOpenEditor()
{
    if (QWidget *editor = m_delegate->openEditor())
        commitData(editor);
}

void DataGrid::postPending()
{
    commitOpenEditor();
    if (GridModel *model = gridModel())
        model->post();
    if (QWidget *editor = m_delegate->openEditor())
        closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void DataGrid::cancelPending()
{
    if (QWidget *editor = m_delegate->openEditor())
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    if (GridModel *model = gridModel())
        model->cancel();
}

void DataGrid::showLastRow()
{
    GridModel *model = gridModel();
    if (!model)
        return;
    // Only the last rows are read: the record set knows the count and reads the page it needs.
    const int last = model->rowCount() - 1;
    if (last < 0 || model->columnCount() == 0)
        return;
    const int column = std::clamp(currentIndex().column(), 0, model->columnCount() - 1);
    setCurrentIndex(model->index(last, column));
    scrollTo(currentIndex());
}

QFont DataGrid::columnFont(int column) const
{
    return m_delegate->columnFont(column, font());
}

void DataGrid::setColumnFont(int column, const QFont &font)
{
    m_delegate->setColumnFont(column, font);
    viewport()->update();
}

Qt::Alignment DataGrid::columnAlignment(int column) const
{
    const GridModel *model = gridModel();
    return model ? model->columnAlignment(column) : Qt::Alignment(Qt::AlignLeft);
}

void DataGrid::modelWasReset()
{
    applyDefaultColumnWidths();
    showCurrentRow();
}

// Puts the view's current cell on the model's current row.
void DataGrid::showCurrentRow()
{
    const GridModel *model = gridModel();
    if (!model || model->columnCount() == 0 || m_followingView)
        return;
    const int row = model->currentRow();
    if (row < 0 || currentIndex().row() == row)
        return;
    const int column = std::clamp(currentIndex().column(), 0, model->columnCount() - 1);
    setCurrentIndex(model->index(row, column));
}

void DataGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // Here the view leads: the model follows it, not the other way round.
    const QScopedValueRollback<bool> following(m_followingView, true);
    // The base class first hands an open editor's text to the model.
    QTableView::currentChanged(current, previous);
    GridModel *model = gridModel();
    if (!model || !current.isValid() || model->isChangingRows() ||
        current.row() == model->currentRow())
        return;
    try {
        model->setCurrentRow(current.row());
    } catch (const std::exception &e) {
        refuseRowChange(QString::fromUtf8(e.what()));
    }
}

// The row could not be left: the user goes back to it, then sees why. Both happen once
// the selection has finished moving, not in the middle of it.
void DataGrid::refuseRowChange(const QString &message)
{
    if (m_refusalQueued)
        return;
    m_refusalQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this, message] {
            m_refusalQueued = false;
            showCurrentRow();
            showError(this, message);
        },
        Qt::QueuedConnection);
}

void DataGrid::keyPressEvent(QKeyEvent *event)
{
    // Escape outside a cell editor drops the edits of the row, or the new row.
    GridModel *model = gridModel();
    if (event->key() == Qt::Key_Escape && state() != EditingState && model &&
        model->hasPendingChanges()) {
        model->cancel();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        guard(this, [this] { copySelection(); });
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void DataGrid::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copy = menu.addAction(QStringLiteral("Копировать"), this,
                                   [this] { guard(this, [this] { copySelection(); }); });
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(selectionModel() && selectionModel()->hasSelection());
    menu.addAction(QStringLiteral("Сохранить как CSV…"), this,
                   [this] { guard(this, [this] { saveCsvAsked(); }); });
    menu.exec(event->globalPos());
}

QStringList DataGrid::rowTexts(int row, int firstColumn, int lastColumn) const
{
    // The full texts, line breaks included, as a cell editor shows them.
    QStringList texts;
    for (int column = firstColumn; column <= lastColumn; ++column)
        texts.append(model()->index(row, column).data(Qt::EditRole).toString());
    return texts;
}

namespace {

// Between rows of a long copy or export: the user sees how far it has gone after a moment and
// may cancel it.
constexpr int RowsBetweenLooks = 1024;

void keepCopying(int row, int rows, const QString &what)
{
    if (row % RowsBetweenLooks != 0 || row == 0)
        return;
    Waiter *user = waiter();
    if (user &&
        !user->keepWaiting(QStringLiteral("%1: строка %2 из %3").arg(what).arg(row).arg(rows)))
        throw DbError(QStringLiteral("%1 отменено").arg(what), DbErrorKind::Cancelled);
}

// Ends what keepCopying() showed.
struct CopyingDone
{
    ~CopyingDone()
    {
        if (Waiter *user = waiter())
            user->finished();
    }
};

} // namespace

QString DataGrid::selectedText() const
{
    // The rectangle around the ranges selected: a whole table selected is one range, however
    // many rows it has.
    const QItemSelection selection =
        selectionModel() ? selectionModel()->selection() : QItemSelection();
    if (selection.isEmpty())
        return {};
    int top = selection.first().top(), bottom = selection.first().bottom();
    int left = selection.first().left(), right = selection.first().right();
    for (const QItemSelectionRange &range : selection) {
        top = std::min(top, range.top());
        bottom = std::max(bottom, range.bottom());
        left = std::min(left, range.left());
        right = std::max(right, range.right());
    }
    const CopyingDone done;
    QString text;
    for (int row = top; row <= bottom; ++row) {
        keepCopying(row - top, bottom - top + 1, QStringLiteral("Копирование"));
        QStringList texts = rowTexts(row, left, right);
        // Cells of the rectangle that are not selected stay empty.
        for (int column = left; column <= right; ++column) {
            if (!selection.contains(model()->index(row, column)))
                texts[column - left].clear();
        }
        text += delimitedText({texts}, u'\t', QStringLiteral("\n"));
    }
    return text;
}

void DataGrid::copySelection() const
{
    const QString text = selectedText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void DataGrid::saveCsv(const QString &path)
{
    GridModel *model = gridModel();
    if (!model)
        return;
    QSaveFile file(path);
    const auto failed = [&] {
        return DbError(QStringLiteral("Не удалось записать файл «%1»: %2")
                           .arg(QDir::toNativeSeparators(path), file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly))
        throw failed();
    // Every row, read as it is written: a page at a time, whatever the size.
    constexpr int RowsAtATime = 1024;
    QList<QStringList> rows;
    QStringList titles;
    for (int column = 0; column < model->columnCount(); ++column)
        titles.append(model->headerData(column, Qt::Horizontal).toString());
    rows.append(titles);
    const CopyingDone done;
    for (int row = 0; row <= model->rowCount(); ++row) {
        keepCopying(row, model->rowCount(), QStringLiteral("Сохранение в CSV"));
        if (row < model->rowCount())
            rows.append(rowTexts(row, 0, model->columnCount() - 1));
        if (rows.size() < RowsAtATime && row < model->rowCount())
            continue;
        if (file.write(delimitedText(rows, csvSeparator(), QStringLiteral("\r\n")).toUtf8()) < 0)
            throw failed();
        rows.clear();
    }
    if (!file.commit())
        throw failed();
}

void DataGrid::saveCsvAsked()
{
    const QString path = dialogs().saveFileName(
        this, {QStringLiteral("Сохранить как CSV"),
               QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                   .filePath(QStringLiteral("таблица.csv")),
               QStringLiteral("CSV (*.csv)")});
    if (!path.isEmpty())
        saveCsv(path);
}

void DataGrid::applyDefaultColumnWidths()
{
    const GridModel *model = gridModel();
    if (!model || !model->recordSet())
        return;
    const QList<FieldInfo> &fields = model->recordSet()->fields();
    const QFontMetrics titles(horizontalHeader()->font());
    for (int column = 0; column < fields.size(); ++column) {
        const FieldInfo &field = fields.at(column);
        const QFontMetrics cells(columnFont(column));
        const int chars = std::min(field.displayWidth, MaxDefaultColumnChars);
        const int width = std::max(chars * cells.horizontalAdvance(u'0'),
                                   titles.horizontalAdvance(field.displayLabel));
        setColumnWidth(column, width + CellPadding);
    }
}
