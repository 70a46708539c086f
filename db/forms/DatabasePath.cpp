#include "db/forms/DatabasePath.h"

#include <QLabel>
#include <QPointer>

namespace {

QPointer<const QLabel> &pathLabel()
{
    static QPointer<const QLabel> label;
    return label;
}

} // namespace

void publishDatabasePathLabel(const QLabel *label)
{
    pathLabel() = label;
}

QString publishedDatabasePath()
{
    const QLabel *label = pathLabel();
    return label ? label->text() : QString();
}
