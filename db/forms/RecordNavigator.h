#pragma once

#include <QFlags>
#include <QPointer>
#include <QWidget>

class DataSource;
class QToolButton;

// The record navigator: a row of buttons acting on the record set of a data source.
// Delete asks "Delete record?" (OK / Cancel) and deletes the current row at once; Insert
// starts a new empty row. Buttons are disabled when there is nothing to act on.
class RecordNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button
    {
        Insert = 0x1,
        Delete = 0x2
    };
    Q_DECLARE_FLAGS(Buttons, Button)

    explicit RecordNavigator(Buttons buttons, QWidget *parent = nullptr);

    DataSource *dataSource() const;
    void setDataSource(DataSource *source);

    // nullptr for a button this navigator does not show.
    QToolButton *insertButton() const { return m_insert; }
    QToolButton *deleteButton() const { return m_delete; }

private:
    QToolButton *addButton(const QString &glyph, const QString &hint);
    void insertClicked();
    void deleteClicked();
    void updateButtons();

    QPointer<DataSource> m_source;
    QToolButton *m_insert = nullptr;
    QToolButton *m_delete = nullptr;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(RecordNavigator::Buttons)
