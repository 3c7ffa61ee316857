#include "connection/MachineTypeSource.h"

std::optional<MachineTypeRow> MachineTypeSource::find(const QString &mtype) const
{
    const QList<MachineTypeRow> all = rows();
    for (const MachineTypeRow &row : all) {
        if (row.mtype == mtype)
            return row;
    }
    return std::nullopt;
}

namespace MachineTypeRules {

QString ParseMachineType(const QString &answer, bool *ok)
{
    const QStringList fields = answer.split(QLatin1Char(','));
    const bool found = fields.size() > 1;
    if (ok)
        *ok = found;
    return found ? fields.at(1).left(9) : QString();
}

bool listedInFamily(const MachineTypeRow &row, const QString &familyWord)
{
    if (!row.inMenu || row.mtype.size() < 3 || familyWord.size() < 3)
        return false;
    return row.mtype.at(2).toUpper() == familyWord.at(2).toUpper();
}

} // namespace MachineTypeRules
