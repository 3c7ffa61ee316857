#include "cli/CliRun.h"

#include "cli/CliConnection.h"
#include "cli/LoggedRun.h"
#include "cli/Measurement.h"
#include "cli/SupplyValues.h"
#include "common/Clock.h"
#include "common/NumberFormat.h"
#include "ports/PortProber.h"
#include "supply/Supply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int FirstReadingsWaitMs = 5000;

QString dialectName(Commands::Dialect d)
{
    switch (d) {
    case Commands::DialectChannelScpi:
        return QStringLiteral("scpi-channel");
    case Commands::DialectPlainScpi:
        return QStringLiteral("scpi");
    default:
        return QStringLiteral("short");
    }
}

QString limit(double v)
{
    return NumberFormat::format(v, QStringLiteral("###0.###"), QLocale::c());
}

QString jsonLine(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

} // namespace

CliRun::CliRun(const CliOptions &options, QTextStream &out, const PortLister &ports, QObject *parent)
    : QObject(parent), m_options(options), m_discard(QStringLiteral("/dev/null")), m_wire(out),
      m_out(options.dryRun ? m_discardStream : out), m_ports(ports)
{
    if (options.dryRun && m_discard.open(QIODevice::WriteOnly))
        m_discardStream.setDevice(&m_discard);
    connect(&m_measureTimer, &QTimer::timeout, this, &CliRun::measureLine);
}

CliRun::~CliRun() = default;

void CliRun::start()
{
    if (m_options.command == QLatin1String("ports")) {
        listPorts();
        return;
    }
    if (LoggedRun::handles(m_options.command)) {
        // Limits and the sequence file are checked before anything is opened or sent.
        auto plan = LoggedRun::prepare(m_options);
        if (const QString *error = std::get_if<QString>(&plan)) {
            finish(ExitCode::Usage, *error);
            return;
        }
        m_plan = std::get<LoggedRun::Plan>(plan);
    }
    m_connection = std::make_unique<CliConnection>(m_options);
    connect(m_connection.get(), &CliConnection::ready, this, &CliRun::supplyReady);
    connect(m_connection.get(), &CliConnection::sentLine, this, [this](const QString &line) {
        m_wire << line << '\n';
        m_wire.flush();
    });
    connect(m_connection.get(), &CliConnection::failed, this, [this](ExitCode code, const QString &message) {
        finish(code, message);
    });
    m_connection->start();
}

void CliRun::interrupt()
{
    if (m_options.command == QLatin1String("measure") && m_measureTimer.isActive())
        finish(ExitCode::Done);
    else if (m_logged && !m_loggedEnded)
        m_logged->interrupt();
    else
        finish(ExitCode::Link, QStringLiteral("interrupted"));
}

void CliRun::finish(ExitCode code, const QString &message)
{
    if (m_finished)
        return;
    // A log or run ends through its recording, which then comes back here.
    if (m_logged && !m_loggedEnded) {
        m_logged->end(code, message);
        return;
    }
    m_finished = true;
    m_measureTimer.stop();
    m_out.flush();
    m_wire.flush();
    if (!message.isEmpty())
        std::fprintf(stderr, "zepctl: %s\n", qPrintable(message));
    if (m_connection)
        m_connection->close();
    emit finished(code);
}

void CliRun::listPorts()
{
    const QStringList ports = m_ports.ports();
    if (m_options.json) {
        for (const QString &p : ports)
            m_out << jsonLine({{QStringLiteral("port"), QStringLiteral("/dev/") + p},
                               {QStringLiteral("description"), m_ports.describe(p)}})
                  << '\n';
    } else {
        for (const QString &p : ports) {
            const QString description = m_ports.describe(p);
            m_out << "/dev/" << p << (description.isEmpty() ? QString() : QLatin1Char('\t') + description) << '\n';
        }
    }
    finish(ExitCode::Done);
}

void CliRun::supplyReady(Supply &supply)
{
    connect(&supply, &Supply::errorDetected, this, [this](const QString &answer) { m_supplyError = answer; });
    const QString &c = m_options.command;
    if (c == QLatin1String("identify"))
        identify(supply);
    else if (c == QLatin1String("get"))
        get(supply, m_options.words.isEmpty() ? SupplyValues::names(supply) : m_options.words);
    else if (c == QLatin1String("set"))
        set(supply);
    else if (c == QLatin1String("measure"))
        startMeasuring(supply);
    else if (m_plan)
        startLogged(supply);
}

void CliRun::identify(Supply &supply)
{
    if (m_options.json) {
        QJsonArray channels;
        for (int i = 0; i < supply.channelCount(); ++i) {
            const Supply::Channel &ch = supply.channel(i);
            channels.append(QJsonObject{{QStringLiteral("channel"), i + 1},
                                        {QStringLiteral("voltage"), ch.voltageLimits.maximum},
                                        {QStringLiteral("current"), ch.currentLimits.maximum},
                                        {QStringLiteral("ovp"), ch.ovpLimits.maximum}});
        }
        m_out << jsonLine({{QStringLiteral("type"), supply.machineType()},
                           {QStringLiteral("dialect"), dialectName(supply.dialect())},
                           {QStringLiteral("channels"), channels}})
              << '\n';
    } else {
        m_out << "type=" << supply.machineType() << '\n'
              << "dialect=" << dialectName(supply.dialect()) << '\n'
              << "channels=" << supply.channelCount() << '\n';
        for (int i = 0; i < supply.channelCount(); ++i) {
            const Supply::Channel &ch = supply.channel(i);
            m_out << "ch" << i + 1 << ".voltage.max=" << limit(ch.voltageLimits.maximum) << '\n'
                  << "ch" << i + 1 << ".current.max=" << limit(ch.currentLimits.maximum) << '\n'
                  << "ch" << i + 1 << ".ovp.max=" << limit(ch.ovpLimits.maximum) << '\n';
        }
    }
    finish(ExitCode::Done);
}

void CliRun::get(Supply &supply, const QStringList &names)
{
    QJsonObject json;
    QStringList lines;
    for (const QString &name : names) {
        const auto v = SupplyValues::value(supply, name.toLower());
        if (!v) {
            finish(ExitCode::Usage, QStringLiteral("%1: no such value on this supply (%2)")
                                        .arg(name, SupplyValues::names(supply).join(QLatin1Char(' '))));
            return;
        }
        json.insert(name.toLower(), *v);
        lines << name.toLower() + QLatin1Char('=') + *v;
    }
    if (m_options.json)
        m_out << jsonLine(json) << '\n';
    else
        m_out << lines.join(QLatin1Char('\n')) << '\n';
    finish(ExitCode::Done);
}

void CliRun::set(Supply &supply)
{
    // Every assignment is checked before any is sent: one refused sends nothing.
    QList<SupplyValues::Assignment> assignments;
    QStringList names;
    for (const QString &word : m_options.words) {
        auto parsed = SupplyValues::parse(supply, word);
        if (const QString *refusal = std::get_if<QString>(&parsed)) {
            finish(ExitCode::Refused, *refusal);
            return;
        }
        assignments << std::get<SupplyValues::Assignment>(parsed);
        names << assignments.last().name;
    }
    SupplyValues::applyInOrder(supply, assignments);
    m_connection->whenIdle([this, &supply, names] {
        readBack(supply, [this, &supply, names] {
            if (!m_supplyError.isEmpty()) {
                finish(ExitCode::Refused, QStringLiteral("the supply reported an error: %1").arg(m_supplyError));
                return;
            }
            get(supply, names);
        });
    });
}

void CliRun::readBack(Supply &supply, std::function<void()> then)
{
    supply.querySettings();
    m_connection->whenIdle(std::move(then));
}

void CliRun::startMeasuring(Supply &supply)
{
    QList<int> &channels = m_options.channels;
    if (channels.isEmpty())
        for (int c = 1; c <= supply.channelCount(); ++c)
            channels << c;
    for (int c : channels)
        if (c > supply.channelCount()) {
            finish(ExitCode::Usage, QStringLiteral("--channels: this supply has %1 channels").arg(supply.channelCount()));
            return;
        }
    if (!m_options.json)
        m_out << Measurement::csvHeader(channels) << "\r\n";
    m_out.flush();
    // Readings are polled whatever the output: the lines show what the supply measures. The
    // first line waits for one whole polling cycle's answers (at most a few seconds), so it
    // holds readings and not the values shown before the first poll.
    SupplyConnection &link = m_connection->connection();
    link.QueryTimer.start();
    const int cycle = int(supply.plan().cycle.size());
    auto polls = std::make_shared<int>(0);
    connect(&link.QueryTimer, &QTimer::timeout, this, [this, polls, cycle] {
        // The engine sends faster than the polls are queued: two polls after the cycle's
        // last, its answers are in.
        if (++*polls == cycle + 2)
            startLines();
    });
    QTimer::singleShot(FirstReadingsWaitMs, this, &CliRun::startLines);
}

void CliRun::startLogged(Supply &supply)
{
    m_logged = std::make_unique<LoggedRun>(m_options, *m_plan, *m_connection, supply, m_out);
    connect(m_logged.get(), &LoggedRun::ended, this, [this](ExitCode code, const QString &message) {
        m_loggedEnded = true;
        finish(code, message);
    });
    m_logged->start();
}

void CliRun::startLines()
{
    if (m_finished || m_measureTimer.isActive())
        return;
    m_measureStartMs = Clock::current().monotonicMs();
    m_measureTimer.start(m_options.everyMs);
    measureLine();
}

void CliRun::measureLine()
{
    Supply *supply = m_connection ? m_connection->supply() : nullptr;
    if (!supply)
        return;
    const Measurement::Sample sample = Measurement::take(*supply, m_options.channels, Clock::current().now());
    m_out << (m_options.json ? Measurement::jsonLine(sample) : Measurement::csvLine(sample))
          << (m_options.json ? "\n" : "\r\n");
    m_out.flush();
    ++m_lines;
    const bool counted = m_options.count > 0 && m_lines >= m_options.count;
    const bool timed = m_options.forMs > 0 && Clock::current().monotonicMs() - m_measureStartMs >= m_options.forMs;
    if (counted || timed)
        finish(ExitCode::Done);
}
