#pragma once

#include <QObject>
#include <QPointer>

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

Q_SIGNALS:
    void dataSetChanged(RecordSet *records);

private:
    GridModel *m_model;
};
