#include "cli/CliOptions.h"

#include <QRegularExpression>
#include <cmath>

namespace {

const char *const DefaultSimulatedType = "XPP-3202";

const QStringList Commands{QStringLiteral("ports"), QStringLiteral("identify"), QStringLiteral("get"),
                           QStringLiteral("set"), QStringLiteral("measure"),
                           QStringLiteral("log"), QStringLiteral("run")};
// The commands whose own lines --dry-run prints.
const QStringList DryRunCommands{QStringLiteral("set"), QStringLiteral("measure")};

// The value of `--name=value` or `--name value`; `i` moves past what was used.
std::optional<QString> valueOf(const QStringList &args, int &i, const QString &name)
{
    const QString &a = args.at(i);
    if (a.startsWith(name + QLatin1Char('=')))
        return a.mid(name.size() + 1);
    if (a == name && i + 1 < args.size())
        return args.at(++i);
    return std::nullopt;
}

bool isOption(const QString &a, const QString &name)
{
    return a == name || a.startsWith(name + QLatin1Char('='));
}

} // namespace

std::optional<qint64> parseDurationMs(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+(?:\\.\\d+)?)(ms|s|m|h)?$"));
    const QRegularExpressionMatch m = pattern.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const QString unit = m.captured(2);
    const double scale = unit == QLatin1String("ms") ? 1
        : unit == QLatin1String("m")                 ? 60000
        : unit == QLatin1String("h")                 ? 3600000
                                                     : 1000;
    const double ms = m.captured(1).toDouble() * scale;
    if (!(ms >= 1) || ms > 1e13)
        return std::nullopt;
    return qint64(std::llround(ms));
}

std::optional<CliOptions> CliOptions::parse(const QStringList &args, QString *error)
{
    CliOptions o;
    auto fail = [error](const QString &text) {
        *error = text;
        return std::nullopt;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a == QLatin1String("--quiet") || a == QLatin1String("-q")) {
            o.quiet = true;
        } else if (a == QLatin1String("--simulate")) {
            o.simulate = QLatin1String(DefaultSimulatedType);
        } else if (a.startsWith(QLatin1String("--simulate="))) {
            o.simulate = a.mid(11);
        } else if (isOption(a, QStringLiteral("--port"))) {
            const auto v = valueOf(args, i, QStringLiteral("--port"));
            if (!v || v->isEmpty())
                return fail(QStringLiteral("--port needs a device path"));
            o.port = *v;
        } else if (isOption(a, QStringLiteral("--gpib"))) {
            const auto v = valueOf(args, i, QStringLiteral("--gpib"));
            static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2}):(\\d{1,2})$"));
            const QRegularExpressionMatch m = pattern.match(v.value_or(QString()));
            if (!m.hasMatch() || m.captured(2).toInt() > 30)
                return fail(QStringLiteral("--gpib needs BOARD:ADDRESS, such as 0:5 (address 0 to 30)"));
            o.gpibBoard = m.captured(1).toInt();
            o.gpibAddress = m.captured(2).toInt();
        } else if (isOption(a, QStringLiteral("--type"))) {
            const auto v = valueOf(args, i, QStringLiteral("--type"));
            if (!v || v->trimmed().isEmpty())
                return fail(QStringLiteral("--type needs a machine type, such as XPP-3202"));
            o.type = v->trimmed();
        } else if (a == QLatin1String("--dry-run")) {
            o.dryRun = true;
        } else if (isOption(a, QStringLiteral("--baud"))) {
            const auto v = valueOf(args, i, QStringLiteral("--baud"));
            bool ok = false;
            o.baud = v ? v->toInt(&ok) : 0;
            if (!ok || o.baud <= 0)
                return fail(QStringLiteral("--baud needs a positive number"));
        } else if (isOption(a, QStringLiteral("--channels"))) {
            const auto v = valueOf(args, i, QStringLiteral("--channels"));
            if (!v)
                return fail(QStringLiteral("--channels needs a list such as 1,3"));
            for (const QString &part : v->split(QLatin1Char(','))) {
                bool ok = false;
                const int c = part.toInt(&ok);
                if (!ok || c < 1 || c > 4)
                    return fail(QStringLiteral("--channels: %1 is no channel 1 to 4").arg(part));
                if (!o.channels.contains(c))
                    o.channels << c;
            }
        } else if (isOption(a, QStringLiteral("--every"))) {
            const auto v = valueOf(args, i, QStringLiteral("--every"));
            const auto ms = v ? parseDurationMs(*v) : std::nullopt;
            if (!ms || *ms < 100 || *ms > 24 * 3600 * 1000)
                return fail(QStringLiteral("--every needs a time from 100ms to 24h, such as 1s"));
            o.everyMs = int(*ms);
        } else if (isOption(a, QStringLiteral("--count"))) {
            const auto v = valueOf(args, i, QStringLiteral("--count"));
            bool ok = false;
            o.count = v ? v->toInt(&ok) : 0;
            if (!ok || o.count <= 0)
                return fail(QStringLiteral("--count needs a positive number"));
        } else if (isOption(a, QStringLiteral("--for"))) {
            const auto v = valueOf(args, i, QStringLiteral("--for"));
            const auto ms = v ? parseDurationMs(*v) : std::nullopt;
            if (!ms)
                return fail(QStringLiteral("--for needs a time such as 10m"));
            o.forMs = *ms;
        } else if (isOption(a, QStringLiteral("--description"))) {
            const auto v = valueOf(args, i, QStringLiteral("--description"));
            if (!v)
                return fail(QStringLiteral("--description needs a text"));
            o.description = *v;
        } else if (a == QLatin1String("--leave-output")) {
            o.leaveOutput = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return fail(QStringLiteral("unknown option %1").arg(a));
        } else if (o.command.isEmpty()) {
            if (!Commands.contains(a))
                return fail(QStringLiteral("unknown command %1").arg(a));
            o.command = a;
        } else {
            o.words << a;
        }
    }
    if (o.command.isEmpty())
        return fail(QStringLiteral("no command given"));
    if (int(!o.port.isEmpty()) + int(!o.simulate.isEmpty()) + int(o.gpibBoard >= 0) > 1)
        return fail(QStringLiteral("--port, --gpib and --simulate name the supply each: give one"));
    if (o.dryRun && !DryRunCommands.contains(o.command))
        return fail(QStringLiteral("--dry-run works with %1, not with %2")
                        .arg(DryRunCommands.join(QStringLiteral(" and ")), o.command));
    if (o.command == QLatin1String("set") && o.words.isEmpty())
        return fail(QStringLiteral("set needs at least one NAME=VALUE"));
    if (o.command == QLatin1String("run") && o.words.size() != 1)
        return fail(QStringLiteral("run needs one SEQUENCE file"));
    if (o.command != QLatin1String("get") && o.command != QLatin1String("set") && o.command != QLatin1String("run")
        && !o.words.isEmpty())
        return fail(QStringLiteral("%1 takes no argument %2").arg(o.command, o.words.first()));
    return o;
}

QString CliOptions::usage()
{
    return QStringLiteral(
        "Usage: zepctl [OPTIONS] COMMAND [ARGUMENTS]\n"
        "\n"
        "Commands:\n"
        "  ports                      the serial ports, USB adapters first\n"
        "  identify                   the supply's type, dialect, channels and limits\n"
        "  get [NAME...]              set points, protection, output and mode\n"
        "  set NAME=VALUE...          e.g. ch1.voltage=12.5 ch1.current=1.2 ch2.ovp=14 output=on\n"
        "                             mode=parallel; each is read back and printed\n"
        "  measure                    readings as they come: time and, per channel, V, A, W\n"
        "  log                        an unattended recording into the record store, saved as a\n"
        "                             numbered record at its end (or on Ctrl+C)\n"
        "  run SEQUENCE               the steps of a sequence file (CSV: set,end,repeat), logged\n"
        "                             as log does; a summary per channel at the end"
        "\n"
        "Options:\n"
        "  --port PATH [--baud N]     the supply's serial port (default: the remembered one)\n"
        "  --gpib BOARD:ADDRESS       the supply on a GPIB board, such as 0:5\n"
        "  --simulate[=TYPE]          the built-in virtual supply (default type %1)\n"
        "  --type TYPE                take the supply to be TYPE instead of asking it\n"
        "  --dry-run                  set, measure: print the lines they would send to a\n"
        "                             supply of --type (or the remembered type), send nothing\n"
        "  --channels 1,3             measure: only these channels\n"
        "  --every 1s                 measure: time between lines\n"
        "  --every 1s                 log, run: time between samples (1s 2s 5s 10s 30s 1m 5m 10m\n"
        "                             30m 1h)\n"
        "  --count N | --for 10m      measure: how many lines, or for how long; log: how long\n"
        "  --description TEXT         log, run: the saved record's description\n"
        "  --leave-output             run: leave the outputs on when it stops early\n"
        "  --json                     one JSON object a line instead of CSV or text\n"
        "  --quiet                    no messages on stderr but errors\n"
        "\n"
        "Exit status: 0 done, 1 usage, 2 link (port, time-out), 3 refused by the supply or a\n"
        "limit, 4 store.\n")
        .arg(QLatin1String(DefaultSimulatedType));
}
