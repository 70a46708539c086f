#pragma once

#include <QObject>
#include <QPointer>
#include <tuple>

class Connection;
class DatabaseWindow;
class QueryRecordSet;
class TableRecordSet;

class GridModel;
class RecordSet;

// Binds a record set to the grid and the navigator that show it. Re-binding to another
// record set keeps the same grid model, so views stay connected.
class DataSource : public QObject
{
    Q_OBJECT
public:
    explicit DataSource(QObject *parent = nullptr);

    RecordSet *dataSet() const;
    // Posts a pending edit of the record set bound before (throwing DbError, and binding
    // nothing, when it is refused), then binds the new one.
    void setDataSet(RecordSet *records);

    GridModel *model() const { return m_model; }

    // Asks the controls that show the data to hand over what is still in their editors,
    // so that a post, an insertion or a deletion sees the user's last keystrokes.
    void updateRecord();
    // Hands over the editors' contents and writes the pending row; throws DbError (the
    // row staying pending) when it is refused.
    void post();

Q_SIGNALS:
    void dataSetChanged(RecordSet *records);
    void updateRecordRequested();

private:
    GridModel *m_model;
};

// The data source, connection, statement and table through which a window reads one list or
// table, all owned by the window:
//     std::tie(DataSource1, ADOConnection1, ADODataSet1, ADOTable1) = makeRecordSets(this);
using WindowRecordSets = std::tuple<DataSource *, Connection *, QueryRecordSet *, TableRecordSet *>;
WindowRecordSets makeRecordSets(DatabaseWindow *window);
