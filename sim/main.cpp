// zep-sim: a virtual supply in its own process, on a pseudo-terminal reachable at a link.
#include "sim/PtySupplyServer.h"
#include "sim/SignalWatcher.h"
#include "sim/VirtualSupply.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zep-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEP_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A virtual programmable supply on a pseudo-terminal.\nTypes: %1")
            .arg(sim::supplyTypes().join(QStringLiteral(", "))));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption typeOption(QStringLiteral("type"),
                                        QStringLiteral("Machine type of the supply."),
                                        QStringLiteral("TYPE"));
    const QCommandLineOption linkOption(QStringLiteral("link"),
                                        QStringLiteral("Path of the link to the serial device."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption logOption(QStringLiteral("log"),
                                       QStringLiteral("Append every received line to FILE."),
                                       QStringLiteral("FILE"));
    parser.addOptions({typeOption, linkOption, logOption});
    parser.process(app);

    QTextStream err(stderr);
    QTextStream out(stdout);
    if (!parser.isSet(typeOption) || !parser.isSet(linkOption)) {
        err << "zep-sim: --type and --link are required (see --help)\n";
        return 2;
    }
    const std::unique_ptr<sim::VirtualSupply> supply =
        sim::VirtualSupply::create(parser.value(typeOption));
    if (!supply) {
        err << "zep-sim: unknown type '" << parser.value(typeOption) << "'; known types: "
            << sim::supplyTypes().join(QStringLiteral(", ")) << "\n";
        return 2;
    }

    sim::PtySupplyServer server(*supply);
    if (parser.isSet(logOption) && !server.setLogFile(parser.value(logOption))) {
        err << "zep-sim: cannot open log file " << parser.value(logOption) << "\n";
        return 1;
    }
    sim::SignalWatcher watcher;
    QObject::connect(&watcher, &sim::SignalWatcher::terminationRequested, &app,
                     [&app](int) { app.quit(); });
    if (!server.start(parser.value(linkOption))) {
        err << "zep-sim: " << server.errorString() << "\n";
        return 1;
    }
    out << "zep-sim: " << supply->model().type << " on " << server.portName() << " ("
        << server.slaveName() << ")\n";
    out.flush();

    const int rc = app.exec();
    server.stop();
    return rc;
}
