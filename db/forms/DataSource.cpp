#include "db/forms/DataSource.h"

#include "db/RecordSet.h"
#include "db/forms/DatabaseWindow.h"
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

WindowRecordSets makeRecordSets(DatabaseWindow *window)
{
    auto *connection = new Connection(window);
    // The window's record sets share its opener: the database is checked once per window.
    connection->setOpener(&window->opener());
    return {new DataSource(window), connection, new QueryRecordSet(window),
            new TableRecordSet(window)};
}
