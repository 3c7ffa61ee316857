#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// zepctl's exit status.
enum class ExitCode { Done = 0, Usage = 1, Link = 2, Refused = 3, Store = 4 };

// What zepctl was asked to do, from its command line.
struct CliOptions {
    QString command;    // ports, identify, get, set, measure, log, run
    QStringList words;  // what follows the command (get's names, set's assignments)

    QString port;        // --port PATH; empty: the remembered port
    int baud = 0;        // --baud N; 0: the remembered speed
    QString simulate;    // --simulate[=TYPE]: the built-in virtual supply of TYPE
    int gpibBoard = -1;  // --gpib BOARD:ADDRESS; -1: a serial port
    int gpibAddress = -1;
    QString type;        // --type TYPE: the supply is taken to be TYPE, not asked
    bool dryRun = false; // --dry-run: the lines a command sends are printed, not sent
    bool json = false;
    bool quiet = false;

    // measure
    QList<int> channels;  // 1-based; empty: every channel
    int everyMs = 1000;
    int count = 0;        // 0: no limit
    qint64 forMs = 0;     // 0: no limit

    // log and run
    QString description;       // --description TEXT: the saved record's description
    bool leaveOutput = false;  // --leave-output: a run that stops early leaves the outputs on

    // Parses `arguments` (without the program name). On a usage error returns nothing and
    // sets `error`.
    static std::optional<CliOptions> parse(const QStringList &arguments, QString *error);
    static QString usage();
};

// "500ms", "1s", "10m", "12h", "1.5s"; a bare number is seconds. Nothing for a text that is
// no duration or not above zero.
std::optional<qint64> parseDurationMs(const QString &text);
