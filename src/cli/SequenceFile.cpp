#include "cli/SequenceFile.h"

#include "cli/CliOptions.h"

#include <QFile>
#include <QRegularExpression>

bool SequenceStep::met(double reading) const
{
    switch (compare) {
    case Compare::Below:
        return reading < value;
    case Compare::AtMost:
        return reading <= value;
    case Compare::Above:
        return reading > value;
    case Compare::AtLeast:
        return reading >= value;
    }
    return false;
}

namespace SequenceFile {

namespace {

struct Row {
    int line = 0;
    QStringList fields;
};

// RFC 4180 rows: quoted fields may hold commas, doubled quotes and line breaks. A row that
// is blank or starts with # is skipped. The error names the line of an unclosed quote.
std::variant<QList<Row>, int> csvRows(const QString &text)
{
    QList<Row> rows;
    int line = 1;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype eol = text.indexOf(QLatin1Char('\n'), i);
        const QString first = text.mid(i, eol < 0 ? -1 : eol - i).trimmed();
        if (first.isEmpty() || first.startsWith(QLatin1Char('#'))) {
            i = eol < 0 ? n : eol + 1;
            ++line;
            continue;
        }
        Row row{line, {}};
        QString field;
        bool quoted = false, ended = false;
        for (; i < n && !ended; ++i) {
            const QChar c = text.at(i);
            if (quoted) {
                if (c == QLatin1Char('"') && i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else if (c == QLatin1Char('"')) {
                    quoted = false;
                } else {
                    if (c == QLatin1Char('\n'))
                        ++line;
                    field += c;
                }
            } else if (c == QLatin1Char('"')) {
                quoted = true;
            } else if (c == QLatin1Char(',')) {
                row.fields << field.trimmed();
                field.clear();
            } else if (c == QLatin1Char('\n')) {
                ended = true;
                ++line;
            } else if (c != QLatin1Char('\r')) {
                field += c;
            }
        }
        if (quoted)
            return row.line;
        row.fields << field.trimmed();
        rows << row;
    }
    return rows;
}

// "until ch1.current < 0.05 [for 30s] [timeout 4h]" or "for 10m" into `step`; the error.
QString parseEnd(const QString &text, SequenceStep &step)
{
    step.endText = text.simplified();
    if (step.endText.isEmpty())
        return QString();
    static const QRegularExpression timed(QStringLiteral("^for\\s+(\\S+)$"));
    static const QRegularExpression until(QStringLiteral(
        "^until\\s+ch([1-4])\\.(voltage|current|power)\\s*(<=|>=|<|>)\\s*(\\d+(?:\\.\\d+)?)"
        "(?:\\s+for\\s+(\\S+))?(?:\\s+timeout\\s+(\\S+))?$"));
    if (const auto m = timed.match(step.endText); m.hasMatch()) {
        const auto ms = parseDurationMs(m.captured(1));
        if (!ms)
            return QStringLiteral("%1 is no time such as 10m").arg(m.captured(1));
        step.end = SequenceStep::End::Time;
        step.forMs = *ms;
        return QString();
    }
    const auto m = until.match(step.endText);
    if (!m.hasMatch())
        return QStringLiteral("the end \"%1\" is neither \"for TIME\" nor \"until chN.voltage|current|power "
                              "<|<=|>|>= VALUE [for TIME] [timeout TIME]\"").arg(step.endText);
    step.end = SequenceStep::End::Condition;
    step.channel = m.captured(1).toInt();
    const QString q = m.captured(2);
    step.quantity = q == QLatin1String("voltage") ? SequenceStep::Quantity::Voltage
        : q == QLatin1String("current")           ? SequenceStep::Quantity::Current
                                                  : SequenceStep::Quantity::Power;
    const QString op = m.captured(3);
    step.compare = op == QLatin1String("<") ? SequenceStep::Compare::Below
        : op == QLatin1String("<=")         ? SequenceStep::Compare::AtMost
        : op == QLatin1String(">")          ? SequenceStep::Compare::Above
                                            : SequenceStep::Compare::AtLeast;
    step.value = m.captured(4).toDouble();
    for (const auto &[group, target] : {std::pair{5, &step.forMs}, std::pair{6, &step.timeoutMs}}) {
        if (m.captured(group).isEmpty())
            continue;
        const auto ms = parseDurationMs(m.captured(group));
        if (!ms)
            return QStringLiteral("%1 is no time such as 30s").arg(m.captured(group));
        *target = *ms;
    }
    return QString();
}

} // namespace

std::variant<QList<SequenceStep>, QString> read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    return parse(QString::fromUtf8(file.readAll()), path);
}

std::variant<QList<SequenceStep>, QString> parse(const QString &text, const QString &name)
{
    const auto rows = csvRows(text);
    if (const int *line = std::get_if<int>(&rows))
        return QStringLiteral("%1:%2: a quoted field is not closed").arg(name).arg(*line);
    const QList<Row> &all = std::get<QList<Row>>(rows);
    if (all.isEmpty())
        return QStringLiteral("%1: no steps (expected a header set,end,repeat and one step a row)").arg(name);
    const auto at = [&name](int line, const QString &what) { return QStringLiteral("%1:%2: %3").arg(name).arg(line).arg(what); };

    const Row &header = all.first();
    int setColumn = -1, endColumn = -1, repeatColumn = -1;
    for (int c = 0; c < header.fields.size(); ++c) {
        const QString h = header.fields.at(c).toLower();
        int *column = h == QLatin1String("set") ? &setColumn
            : h == QLatin1String("end")         ? &endColumn
            : h == QLatin1String("repeat")      ? &repeatColumn
                                                : nullptr;
        if (!column || *column >= 0)
            return at(header.line, QStringLiteral("the header names the columns set, end and repeat, each once (found \"%1\")")
                                       .arg(header.fields.at(c)));
        *column = c;
    }
    if (setColumn < 0 || endColumn < 0)
        return at(header.line, QStringLiteral("the header needs the columns set and end"));

    QList<SequenceStep> steps;
    for (const Row &row : all.mid(1)) {
        if (row.fields.size() > header.fields.size())
            return at(row.line, QStringLiteral("%1 fields where the header has %2").arg(row.fields.size()).arg(header.fields.size()));
        const auto field = [&row](int c) { return c >= 0 && c < row.fields.size() ? row.fields.at(c) : QString(); };
        SequenceStep step;
        step.line = row.line;
        step.assignments = field(setColumn).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        for (const QString &word : std::as_const(step.assignments))
            if (word.indexOf(QLatin1Char('=')) <= 0)
                return at(row.line, QStringLiteral("%1: expected NAME=VALUE").arg(word));
        if (const QString error = parseEnd(field(endColumn), step); !error.isEmpty())
            return at(row.line, error);
        if (const QString repeat = field(repeatColumn); !repeat.isEmpty()) {
            bool ok = false;
            step.repeat = repeat.toInt(&ok);
            if (!ok || step.repeat < 1)
                return at(row.line, QStringLiteral("repeat %1 is no count of 1 or more").arg(repeat));
        }
        if (step.assignments.isEmpty() && step.end == SequenceStep::End::Set)
            return at(row.line, QStringLiteral("a step sets nothing and waits for nothing"));
        steps << step;
    }
    if (steps.isEmpty())
        return at(header.line, QStringLiteral("no steps after the header"));
    return steps;
}

} // namespace SequenceFile
