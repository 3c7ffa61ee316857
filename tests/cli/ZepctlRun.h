#pragma once
// What the zepctl tests share: a virtual supply on a pseudo-terminal with the lines it
// received, and one zepctl run with its exit status and output.
#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "ports/PortProber.h"
#include "sim/PtySupplyServer.h"
#include "sim/SimulatedLink.h"

#include <QSignalSpy>
#include <QtTest>
#include <functional>

namespace {

class NoPorts : public PortLister
{
public:
    QStringList ports() const override { return {QStringLiteral("ttyUSB0"), QStringLiteral("ttyS0")}; }
    QString describe(const QString &name) const override
    {
        return name == QLatin1String("ttyUSB0") ? QStringLiteral("FT232R USB UART") : QString();
    }
};

// One virtual supply and the lines it received.
struct Bench {
    sim::SimulatedLink link;
    QStringList wire;

    explicit Bench(const QString &type)
    {
        QString error;
        if (!link.start(type, &error))
            qFatal("%s", qPrintable(error));
        QObject::connect(link.server(), &sim::PtySupplyServer::lineReceived,
                         [this](const QString &line) { wire << line; });
    }
};

// One zepctl run: its exit status and what it printed.
struct Outcome {
    int code = -1;
    QString out;
};

Outcome run(const QStringList &args, std::function<void(CliRun &)> during = {}, int timeoutMs = 30000)
{
    QString error;
    const auto options = CliOptions::parse(args, &error);
    if (!options)
        return {int(ExitCode::Usage), error};
    Outcome o;
    QTextStream out(&o.out);
    NoPorts ports;
    CliRun cli(*options, out, ports);
    QSignalSpy done(&cli, &CliRun::finished);
    cli.start();
    if (during)
        during(cli);
    if (!QTest::qWaitFor([&] { return done.count() > 0; }, timeoutMs))
        return o;
    o.code = int(done.first().first().value<ExitCode>());
    out.flush();
    return o;
}

} // namespace
