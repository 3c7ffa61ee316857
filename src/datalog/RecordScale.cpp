#include "datalog/RecordScale.h"

namespace RecordScale {

const QStringList &captions()
{
    static const QStringList list{
        QStringLiteral("1 second"), QStringLiteral("2 seconds"), QStringLiteral("5 seconds"),
        QStringLiteral("10 seconds"), QStringLiteral("30 seconds"), QStringLiteral("1 min"),
        QStringLiteral("5 mins"), QStringLiteral("10 mins"), QStringLiteral("30 mins"),
        QStringLiteral("1 Hour")};
    return list;
}

const QStringList &pointOperationCaptions()
{
    static const QStringList list{QStringLiteral("Maximum"), QStringLiteral("Minimum"),
                                  QStringLiteral("Average")};
    return list;
}

} // namespace RecordScale
