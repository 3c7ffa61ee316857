#pragma once

#include <QStringList>

namespace sim {

// Faults the virtual supply's links inject, for tests of the program's error paths.
// The supply model uses `invalidFirstIdn`; the pty server and the virtual GPIB device use
// the rest to shape how an answer travels back.
struct FaultPlan {
    int answerDelayMs = 0;     // before the first byte of every answer
    int splitParts = 1;        // an answer is sent in this many parts ...
    int splitPauseMs = 0;      // ... with this pause between them
    int dropAnswers = 0;       // the next N answers are never sent
    bool invalidFirstIdn = false;  // the first "*IDN?" is answered "Invalid Character."

    // One answer as it goes out: the parts and when each leaves, in ms after the query.
    struct Delivery {
        QStringList parts;
        QList<int> atMs;
    };

    // Shapes `answer` (terminator included) by the plan; consumes one dropped answer when
    // any are pending (the delivery is then empty).
    Delivery shape(const QString &answer);
};

} // namespace sim
