#include "sim/FaultPlan.h"

#include <algorithm>

namespace sim {

FaultPlan::Delivery FaultPlan::shape(const QString &answer)
{
    Delivery d;
    if (dropAnswers > 0) {
        --dropAnswers;
        return d;
    }
    const int parts = std::clamp(splitParts, 1, std::max<int>(1, int(answer.size())));
    const int base = int(answer.size()) / parts;
    int pos = 0;
    for (int i = 0; i < parts; ++i) {
        const int len = i == parts - 1 ? int(answer.size()) - pos : base;
        d.parts << answer.mid(pos, len);
        d.atMs << std::max(0, answerDelayMs) + i * std::max(0, splitPauseMs);
        pos += len;
    }
    return d;
}

} // namespace sim
