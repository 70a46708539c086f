#pragma once

#include <QList>

class QComboBox;
class TableRecordSet;

// Appends the first column of every row of an open reference table, as text and in the
// order the rows come, to the end of each list in turn; duplicates and empty names too,
// and the lists are not emptied first.
void appendReferenceNames(TableRecordSet &table, const QList<QComboBox *> &lists);
