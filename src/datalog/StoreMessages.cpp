#include "datalog/StoreMessages.h"

QString storeFailureText(const QString &prefix, const StoreError &error)
{
    if (error.unreachable)
        return error.description;
    return prefix + QStringLiteral("System Error caused by ") + error.number + QLatin1Char(':') + error.description;
}
