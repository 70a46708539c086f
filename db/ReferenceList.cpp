#include "ReferenceList.h"

#include "RecordSet.h"

#include <QComboBox>

void appendReferenceNames(TableRecordSet &table, const QList<QComboBox *> &lists)
{
    for (table.first(); !table.eof(); table.next()) {
        const QString name = table.text(0);
        for (QComboBox *list : lists)
            list->addItem(name);
    }
}
