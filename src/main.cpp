#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>

#include "common/Prompter.h"
#include "common/TerminationSignals.h"
#include "mainwin/MDIForm1.h"
#include "datalog/RecordMigration.h"
#include "datalog/RecordStore.h"
#include "datalog/ServerRecordStore.h"
#include "mainwin/StoreMachineTypes.h"
#include "mainwin/StoreStartup.h"
#include "sim/SimulatedLink.h"
#include "sim/SupplyModel.h"
#include "ui/QtPrompter.h"

namespace {

const char *DefaultSimulatedType = "XPP-3202";

// "--simulate" takes an optional value: the bare option means the default type.
QStringList withSimulateDefault(QStringList args)
{
    for (QString &a : args) {
        if (a == QLatin1String("--simulate") || a == QLatin1String("-simulate"))
            a = QStringLiteral("--simulate=") + QLatin1String(DefaultSimulatedType);
    }
    return args;
}

const QCommandLineOption simulateOption(
    QStringLiteral("simulate"),
    QStringLiteral("Start a virtual supply of catalogue type TYPE (default %1) inside the "
                   "program and connect to it.")
        .arg(QLatin1String(DefaultSimulatedType)),
    QStringLiteral("TYPE"));
const QCommandLineOption connectOption(
    QStringLiteral("connect"),
    QStringLiteral("Reconnect at start-up with the remembered interface and type."));

const QCommandLineOption copyToServerOption(
    QStringLiteral("copy-records-to-server"),
    QStringLiteral("Copy every saved record of this computer to the lab server set in the "
                   "Record Place dialog (new numbers; the old number is kept in the "
                   "description), then exit. Records copied before are skipped."));

void describe(QCoreApplication &app, QCommandLineParser &parser)
{
    app.setApplicationName(QStringLiteral("zep"));
    app.setApplicationVersion(QStringLiteral(ZEP_VERSION));
    parser.setApplicationDescription(
        QStringLiteral("Remote control and data logging for programmable DC power supplies."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(simulateOption);
    parser.addOption(connectOption);
    parser.addOption(copyToServerOption);
}

// Help, version and the copy of records to the server are plain text: they need no display,
// so they are answered before the window system is touched.
bool asksForTextOnly(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "-h" || a == "-?" || a == "--help" || a == "--help-all" || a == "-v"
            || a == "--version" || a == "--copy-records-to-server")
            return true;
    }
    return false;
}

// The command line is checked before the window system starts, so that a mistyped option or
// type is answered with a message even where no display can be opened. The exit code when it
// is refused, or nullopt when the program may go on.
std::optional<int> refusedCommandLine(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({simulateOption, connectOption, copyToServerOption});
    if (!parser.parse(withSimulateDefault(args))) {
        std::fprintf(stderr, "zep: %s\nRun 'zep --help' for the options.\n",
                     qPrintable(parser.errorText()));
        return 1;
    }
    if (parser.isSet(simulateOption) && !sim::modelForType(parser.value(simulateOption))) {
        std::fprintf(stderr, "zep: no virtual supply of type %s; known types: %s\n",
                     qPrintable(parser.value(simulateOption)),
                     qPrintable(sim::supplyTypes().join(QStringLiteral(", "))));
        return 2;
    }
    return std::nullopt;
}

// The records of this computer's store go to the lab server, one progress line each.
int copyRecordsToServer()
{
    RecordStore local;
    StoreOpenResult opened = local.open();
    // The copy only reads this computer's records: a running program may hold them.
    if (opened.status == StoreOpenResult::Status::HeldElsewhere)
        opened = local.open(RecordStore::defaultFolder(), RecordStore::IntegrityCheck::Now,
                            RecordStore::Access::ReadOnly);
    if (!opened.ok()) {
        std::fprintf(stderr, "zep: %s\n", qPrintable(opened.message));
        return 1;
    }
    const RecordPlaceSettings where = RecordPlaceSettings::read();
    std::printf("Copying the saved records of %s to %s\n", qPrintable(local.filePath()),
                qPrintable(where.serverName()));
    ServerRecordStore server(where, local);
    const RecordMigration result = RecordMigration::run(local, server, [](const QString &line) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    });
    std::printf("%d records: %d copied, %d already on the server, %d failed\n", result.total,
                result.copied, result.alreadyThere, result.failed);
    if (!result.error.isEmpty())
        std::fprintf(stderr, "zep: %s\n", qPrintable(result.error));
    return result.complete() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (const std::optional<int> refused = refusedCommandLine(argc, argv))
        return *refused;
    if (asksForTextOnly(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCommandLineParser parser;
        describe(app, parser);
        parser.process(withSimulateDefault(QCoreApplication::arguments()));  // help, version: prints, exits
        if (parser.isSet(copyToServerOption))
            return copyRecordsToServer();
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("ZEP 2016"));
    // With windows, messages and questions are the program's dialogs.
    QtPrompter dialogs;
    const ScopedPrompter prompts(dialogs);
    QCommandLineParser parser;
    describe(app, parser);
    parser.process(withSimulateDefault(QCoreApplication::arguments()));
    const QCommandLineOption &simulate = simulateOption;

    std::unique_ptr<sim::SimulatedLink> simulated;
    if (parser.isSet(simulate)) {
        simulated = std::make_unique<sim::SimulatedLink>();
        QString error;
        if (!simulated->start(parser.value(simulate), &error)) {
            std::fprintf(stderr, "zep: %s\n", qPrintable(error));
            return 2;
        }
    }
    MDIForm1::Collaborators collaborators;
    // The record database holds the machine-type table; without it the program cannot run.
    // It is claimed for this program (or opened read-only); the check of every page grows
    // with the store, so it runs in the background once the window shows.
    const std::shared_ptr<RecordStore> store = StoreStartup::openStore(RecordStore::defaultFolder());
    if (!store)
        return 1;
    collaborators.machineTypes = std::make_shared<StoreMachineTypes>(*store);
    collaborators.records = store;
    MDIForm1 w(std::move(collaborators));
    w.show();
    StoreStartup startup(w, store);
    startup.start();
    if (simulated) {
        const QString port = simulated->portName();
        w.offerSerialPort(port);
        QTimer::singleShot(0, &w, [&w, port] { w.SetupSerialPort(port, 115200); });
    }
    if (parser.isSet(connectOption) && !parser.isSet(simulate))
        QTimer::singleShot(0, &w, &MDIForm1::OnOffLine_Click);
    // kill, Ctrl+C, a closed terminal or a logout: every event loop (a dialog's too) is left
    // first, then the window closes as Quit closes it.
    bool endedBySignal = false;
    QObject::connect(TerminationSignals::install(), &TerminationSignals::received, &app,
                     [&endedBySignal] {
                         endedBySignal = true;
                         QCoreApplication::quit();
                     });
    const int rc = app.exec();
    if (endedBySignal)
        w.close();
    if (simulated)
        simulated->stop();
    return rc;
}
