#include "db/Backend.h"

#include "db/SqlDialect.h"

QString Source::displayText() const
{
    return parameters.isEmpty() ? statement : withParametersWritten(statement, parameters);
}
