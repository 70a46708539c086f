#include "db/forms/ReferenceList.h"

#include "db/RecordSet.h"
#include "db/Statements.h"
#include "db/forms/DataSource.h"

#include <QComboBox>
#include <QCompleter>
#include <QSignalBlocker>
#include <vector>

QComboBox *editableNameList(QWidget *parent)
{
    auto *list = new QComboBox(parent);
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would put letters into the text that the user did not type.
    list->completer()->setCompletionMode(QCompleter::PopupCompletion);
    list->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    return list;
}

void appendReferenceNames(TableRecordSet &table, const QList<QComboBox *> &lists)
{
    // Adding to an empty list would select its first item; the text the user sees must not
    // change, nor may a handler of text changes run.
    std::vector<QSignalBlocker> quiet;
    QList<bool> hadSelection;
    QStringList texts;
    for (QComboBox *list : lists) {
        quiet.emplace_back(list);
        hadSelection.append(list->currentIndex() >= 0);
        texts.append(list->currentText());
    }
    const int nameAt = table.nameColumn();
    for (table.first(); !table.eof(); table.next()) {
        const QString name = table.text(nameAt);
        for (QComboBox *list : lists)
            list->addItem(name);
    }
    for (qsizetype i = 0; i < lists.size(); ++i) {
        QComboBox *list = lists.at(i);
        if (hadSelection.at(i))
            continue;
        list->setCurrentIndex(-1);
        if (list->isEditable())
            list->setEditText(texts.at(i));
    }
}

void readReferenceList(const QString &databasePath, Connection &connection, QueryRecordSet &query,
                       TableRecordSet &table, const QString &tableName,
                       const QList<QComboBox *> &lists, DataSource *source)
{
    connectToDatabase(connection, databasePath, {&table, &query});
    table.setTableName(tableName);
    query.setSource(Statements::allRows(tableName));
    query.open();
    if (source)
        source->setDataSet(&query);
    table.close();
    table.open();
    appendReferenceNames(table, lists);
    query.close();
}
