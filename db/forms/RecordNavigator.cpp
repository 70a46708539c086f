#include "db/forms/RecordNavigator.h"

#include "db/RecordSet.h"
#include "db/forms/DataSource.h"
#include "db/forms/GridModel.h"

#include "ui/Dialogs.h"
#include "ui/ErrorGuard.h"

#include <QHBoxLayout>
#include <QToolButton>

RecordNavigator::RecordNavigator(Buttons buttons, QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (buttons & Insert) {
        m_insert = addButton(QStringLiteral("+"), QStringLiteral("Вставить запись"));
        m_insert->setObjectName(QStringLiteral("insertButton"));
        connect(m_insert, &QToolButton::clicked, this,
                guarded(this, &RecordNavigator::insertClicked));
    }
    if (buttons & Delete) {
        m_delete = addButton(QStringLiteral("−"), QStringLiteral("Удалить запись"));
        m_delete->setObjectName(QStringLiteral("deleteButton"));
        connect(m_delete, &QToolButton::clicked, this,
                guarded(this, &RecordNavigator::deleteClicked));
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateButtons();
}

QToolButton *RecordNavigator::addButton(const QString &glyph, const QString &hint)
{
    auto *button = new QToolButton(this);
    button->setText(glyph);
    button->setToolTip(hint);
    button->setAutoRaise(false);
    QFont bigger = button->font();
    bigger.setBold(true);
    bigger.setPointSizeF(bigger.pointSizeF() * 1.3);
    button->setFont(bigger);
    button->setFixedSize(28, 26);
    layout()->addWidget(button);
    return button;
}

DataSource *RecordNavigator::dataSource() const
{
    return m_source;
}

void RecordNavigator::setDataSource(DataSource *source)
{
    if (source == m_source)
        return;
    if (m_source) {
        disconnect(m_source, nullptr, this, nullptr);
        disconnect(m_source->model(), nullptr, this, nullptr);
    }
    m_source = source;
    if (source) {
        const GridModel *model = source->model();
        connect(source, &DataSource::dataSetChanged, this, &RecordNavigator::updateButtons);
        connect(source, &QObject::destroyed, this, &RecordNavigator::updateButtons);
        connect(model, &QAbstractItemModel::modelReset, this, &RecordNavigator::updateButtons);
        connect(model, &QAbstractItemModel::rowsInserted, this, &RecordNavigator::updateButtons);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &RecordNavigator::updateButtons);
        connect(model, &GridModel::currentRowChanged, this, &RecordNavigator::updateButtons);
        connect(model, &GridModel::pendingChanged, this, &RecordNavigator::updateButtons);
    }
    updateButtons();
}

void RecordNavigator::updateButtons()
{
    const GridModel *model = m_source ? m_source->model() : nullptr;
    const bool editable = model && model->isEditable();
    if (m_insert)
        m_insert->setEnabled(editable);
    if (m_delete)
        m_delete->setEnabled(editable && model->currentRow() >= 0);
}

void RecordNavigator::insertClicked()
{
    if (!m_source)
        return;
    m_source->updateRecord();
    m_source->model()->insertNewRow();
}

void RecordNavigator::deleteClicked()
{
    if (!m_source || m_source->model()->currentRow() < 0)
        return;
    m_source->updateRecord();
    if (!dialogs().confirm(this, QStringLiteral("Delete record?")))
        return;
    m_source->model()->deleteCurrentRow();
}
