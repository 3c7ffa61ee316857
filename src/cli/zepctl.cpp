// zepctl: the supplies from a shell. Data goes to stdout, messages to stderr.
#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "common/Prompter.h"
#include "common/TerminationSignals.h"
#include "ports/PortProber.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

namespace {

// --quiet: only what went wrong reaches the terminal.
class QuietPrompter : public ConsolePrompter
{
public:
    void message(const QString &text, const QString &title, Severity severity) override
    {
        if (severity != Severity::Information)
            ConsolePrompter::message(text, title, severity);
    }
    void notify(const QString &text, const QString &title, Severity severity) override
    {
        if (severity != Severity::Information)
            ConsolePrompter::notify(text, title, severity);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("zepctl"));
    app.setApplicationVersion(QStringLiteral(ZEP_VERSION));
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::fputs(qPrintable(CliOptions::usage()), stdout);
        return 0;
    }
    if (args.contains(QLatin1String("--version"))) {
        std::printf("zepctl %s\n", ZEP_VERSION);
        return 0;
    }
    QString error;
    const std::optional<CliOptions> options = CliOptions::parse(args, &error);
    if (!options) {
        std::fprintf(stderr, "zepctl: %s\nRun 'zepctl --help' for the commands and options.\n", qPrintable(error));
        return int(ExitCode::Usage);
    }
    // The engine's and the connection's messages, in the desktop program's words.
    ConsolePrompter console;
    QuietPrompter quiet;
    const ScopedPrompter prompts(options->quiet ? quiet : console);
    QTextStream out(stdout);
    SystemPortLister ports;
    CliRun run(*options, out, ports);
    int code = 0;
    QObject::connect(&run, &CliRun::finished, &app, [&code](ExitCode c) {
        code = int(c);
        QCoreApplication::exit(code);
    });
    QObject::connect(TerminationSignals::install(), &TerminationSignals::received, &run, &CliRun::interrupt);
    QMetaObject::invokeMethod(&run, &CliRun::start, Qt::QueuedConnection);
    app.exec();
    return code;
}
