#include "db/forms/DataSource.h"

#include "db/RecordSet.h"
#include "db/forms/GridModel.h"

DataSource::DataSource(QObject *parent) : QObject(parent), m_model(new GridModel(this))
{}

RecordSet *DataSource::dataSet() const
{
    return m_model->recordSet();
}

void DataSource::setDataSet(RecordSet *records)
{
    post();
    if (records == m_model->recordSet())
        return;
    m_model->setRecordSet(records);
    Q_EMIT dataSetChanged(records);
}

void DataSource::updateRecord()
{
    Q_EMIT updateRecordRequested();
}

void DataSource::post()
{
    updateRecord();
    m_model->post();
}

WindowRecordSets makeRecordSets(QObject *owner)
{
    return {new DataSource(owner), new Connection(owner), new QueryRecordSet(owner),
            new TableRecordSet(owner)};
}
