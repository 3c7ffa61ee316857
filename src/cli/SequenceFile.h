#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <variant>

// One row of a test sequence: the values to set, how the step ends and how often it runs.
struct SequenceStep {
    // What a step waits for: nothing (the values are set and answered), a time, or a reading.
    enum class End { Set, Time, Condition };
    enum class Quantity { Voltage, Current, Power };
    enum class Compare { Below, AtMost, Above, AtLeast };

    int line = 0;             // the file's line where the row starts
    QStringList assignments;  // NAME=VALUE words, as `zepctl set` takes them
    End end = End::Set;
    qint64 forMs = 0;         // Time: the step's length; Condition: how long it must hold
    qint64 timeoutMs = 0;     // Condition: 0 waits for ever
    int channel = 1;          // Condition: 1-based
    Quantity quantity = Quantity::Current;
    Compare compare = Compare::Below;
    double value = 0;
    int repeat = 1;
    QString endText;          // the end as written, for the progress lines

    // True when `reading` meets the condition.
    bool met(double reading) const;
};

// A test sequence file: CSV (RFC 4180) with a header naming the columns `set`, `end` and
// optionally `repeat`, one step a row; blank lines and lines starting with # are skipped.
//   set:    space-separated NAME=VALUE words (ch1.voltage=4.2 ch1.current=2 output=on)
//   end:    empty, "for 10m", or "until ch1.current < 0.05 [for 30s] [timeout 4h]"
//   repeat: how many times the step runs in a row (default 1)
namespace SequenceFile {

// The steps of `path`, or "path:line: what is wrong".
std::variant<QList<SequenceStep>, QString> read(const QString &path);
// The same for `text` read from `name`.
std::variant<QList<SequenceStep>, QString> parse(const QString &text, const QString &name);

} // namespace SequenceFile
