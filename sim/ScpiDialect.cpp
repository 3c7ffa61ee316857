#include "sim/Interpreters.h"
#include "sim/VirtualSupply.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <span>

namespace sim {

namespace {

enum class Op {
    MeasVolt, MeasCurr, Volt, Curr, ProtVolt, ProtCurr,
    OutState, Coupling, ProtClear, AutoState, AutoStart, AutoEnd, AutoCycle, AutoDelay,
    Memory, Error, MultiUnit,
};
enum Access { Query = 1, Write = 2, Both = 3 };
enum class Param { None, Number, Bool, Int };

struct Entry {
    const char *path;  // keywords in SCPI long form, short form in capitals
    Op op;
    int access;
    Param param;
};

// Per-channel commands: after ":CHANn" in the channel dialect ...
const Entry ChannelEntries[] = {
    {"MEASure:VOLTage", Op::MeasVolt, Query, Param::None},
    {"MEASure:CURRent", Op::MeasCurr, Query, Param::None},
    {"VOLTage", Op::Volt, Both, Param::Number},
    {"CURRent", Op::Curr, Both, Param::Number},
    {"PROTection:VOLTage", Op::ProtVolt, Both, Param::Number},
    {"PROTection:CURRent", Op::ProtCurr, Both, Param::Bool},
};
// ... and without prefix, for the one channel, in the plain dialect.
const Entry PlainEntries[] = {
    {"MEASure:VOLTage", Op::MeasVolt, Query, Param::None},
    {"MEASure:CURRent", Op::MeasCurr, Query, Param::None},
    {"VOLTage", Op::Volt, Both, Param::Number},
    {"CURRent", Op::Curr, Both, Param::Number},
    {"VOLTage:PROTection", Op::ProtVolt, Both, Param::Number},
    {"CURRent:PROTection", Op::ProtCurr, Both, Param::Bool},
};
// Supply-wide commands of both SCPI dialects. The first six are also taken in the short one.
const Entry SharedEntries[] = {
    {"OUTPut:PROTection:CLEar", Op::ProtClear, Write, Param::None},
    {"SYSTem:AUTO:STATe", Op::AutoState, Both, Param::Bool},
    {"SYSTem:AUTO:STARt", Op::AutoStart, Both, Param::Int},
    {"SYSTem:AUTO:END", Op::AutoEnd, Both, Param::Int},
    {"SYSTem:AUTO:CYCLe", Op::AutoCycle, Both, Param::Int},
    {"SYSTem:AUTO:DELay", Op::AutoDelay, Both, Param::Int},
    {"OUTPut:STATe", Op::OutState, Both, Param::Bool},
    {"OUTPut:COUPle:TRACk", Op::Coupling, Both, Param::Int},
    {"SYSTem:MEMory", Op::Memory, Query, Param::None},
    {"SYSTem:ERRor", Op::Error, Query, Param::None},
    {"SYSTem:CONFigure:MSL", Op::MultiUnit, Both, Param::Int},
};
constexpr int ShortDialectShared = 6;

struct Error {
    int code;
    const char *text;
};
constexpr Error SyntaxError{-102, "Syntax error"};
constexpr Error DataTypeError{-104, "Data type error"};
constexpr Error ParameterNotAllowed{-108, "Parameter not allowed"};
constexpr Error MissingParameter{-109, "Missing parameter"};
constexpr Error UndefinedHeader{-113, "Undefined header"};
constexpr Error SuffixOutOfRange{-114, "Header suffix out of range"};
constexpr Error SettingsConflict{-221, "Settings conflict"};
constexpr Error DataOutOfRange{-222, "Data out of range"};

// A keyword node matches its short form (the capitals) or its long form, in any case.
bool keywordMatches(const QString &node, const QString &keyword)
{
    qsizetype shortLen = 0;
    while (shortLen < keyword.size() && !keyword[shortLen].isLower())
        ++shortLen;
    const QString up = node.toUpper();
    return up == keyword.toUpper() || up == keyword.left(shortLen);
}

bool pathMatches(const QStringList &nodes, const char *path)
{
    const QStringList keywords = QString::fromLatin1(path).split(QLatin1Char(':'));
    if (keywords.size() != nodes.size())
        return false;
    for (int i = 0; i < nodes.size(); ++i) {
        if (!keywordMatches(nodes[i], keywords[i]))
            return false;
    }
    return true;
}

// A parsed line: header nodes, query mark and parameter text.
struct Parsed {
    QStringList nodes;
    bool query = false;
    QString param;
    bool hasParam = false;
    bool valid = false;
};

Parsed parse(const QString &line)
{
    Parsed p;
    const int space = int(line.indexOf(QRegularExpression(QStringLiteral("\\s"))));
    QString header = space < 0 ? line : line.left(space);
    if (space >= 0) {
        p.param = line.mid(space + 1).trimmed();
        p.hasParam = !p.param.isEmpty();
    }
    if (header.startsWith(QLatin1Char(':')))
        header.remove(0, 1);
    if (header.endsWith(QLatin1Char('?'))) {
        p.query = true;
        header.chop(1);
    }
    p.nodes = header.split(QLatin1Char(':'));
    p.valid = !header.isEmpty() && !p.nodes.contains(QString())
              && !header.contains(QLatin1Char('?'));
    return p;
}

// Handles one SCPI line on one supply; reports failures through `fail`.
class ScpiSession
{
public:
    ScpiSession(VirtualSupply &s, bool quiet) : m_s(s), m_quiet(quiet) {}

    std::optional<QString> run(const QString &line, bool sharedOnly, bool *understood);

private:
    std::optional<QString> common(const Parsed &p);
    std::optional<QString> execute(const Entry &e, int channel, const Parsed &p);
    bool takeNumber(const Entry &e, const Parsed &p, double *value);
    bool apply(SetResult r);
    std::optional<QString> fail(const Error &e)
    {
        if (!m_quiet)
            m_s.pushError(e.code, QString::fromLatin1(e.text));
        return std::nullopt;
    }

    VirtualSupply &m_s;
    bool m_quiet;
};

std::optional<QString> ScpiSession::run(const QString &line, bool sharedOnly, bool *understood)
{
    *understood = true;
    const Parsed p = parse(line);
    if (!sharedOnly && line.startsWith(QLatin1Char('*')))
        return common(p);
    if (!sharedOnly && line.compare(QLatin1String("REMOTE"), Qt::CaseInsensitive) == 0) {
        m_s.setRemote();
        return std::nullopt;
    }
    if (!p.valid) {
        *understood = false;
        return fail(SyntaxError);
    }

    const bool channelDialect = m_s.dialect() == Dialect::ChannelScpi;
    if (!sharedOnly) {
        QStringList nodes = p.nodes;
        int channel = 1;
        bool prefixed = false;
        if (channelDialect) {
            QString head = nodes.first();
            int digits = 0;
            while (digits < head.size() && head[head.size() - 1 - digits].isDigit())
                ++digits;
            if (keywordMatches(head.left(head.size() - digits), QStringLiteral("CHANnel"))) {
                prefixed = true;
                channel = digits ? head.right(digits).toInt() : 1;
                nodes.removeFirst();
            }
        }
        if (prefixed || !channelDialect) {
            const std::span<const Entry> table = channelDialect ? std::span<const Entry>(ChannelEntries)
                                                               : std::span<const Entry>(PlainEntries);
            for (const Entry &e : table) {
                if (pathMatches(nodes, e.path)) {
                    if (channel < 1 || channel > m_s.channelCount())
                        return fail(SuffixOutOfRange);
                    return execute(e, channel, p);
                }
            }
            if (prefixed) {
                *understood = false;
                return fail(UndefinedHeader);
            }
        }
    }
    const int sharedCount = sharedOnly ? ShortDialectShared : int(std::size(SharedEntries));
    for (int i = 0; i < sharedCount; ++i) {
        const Entry &e = SharedEntries[i];
        if (e.op == Op::MultiUnit && !m_s.model().hasMultiUnit)
            continue;
        if (pathMatches(p.nodes, e.path))
            return execute(e, 1, p);
    }
    *understood = false;
    return fail(UndefinedHeader);
}

std::optional<QString> ScpiSession::common(const Parsed &p)
{
    const QString name = p.nodes.value(0).toUpper();
    if (p.query && name == QLatin1String("*IDN") && !p.hasParam)
        return m_s.model().idn;
    if (p.query && name == QLatin1String("*OPC") && !p.hasParam)
        return QStringLiteral("1");
    if (!p.query && (name == QLatin1String("*CLS") || name == QLatin1String("*RST"))) {
        if (p.hasParam)
            return fail(ParameterNotAllowed);
        if (name == QLatin1String("*CLS"))
            m_s.clearErrors();
        else
            m_s.reset();
        return std::nullopt;
    }
    if (!p.query && (name == QLatin1String("*SAV") || name == QLatin1String("*RCL"))) {
        const Entry intEntry{"", Op::Memory, Write, Param::Int};
        double n = 0;
        if (!takeNumber(intEntry, p, &n))
            return std::nullopt;
        apply(name == QLatin1String("*SAV") ? m_s.saveMemory(int(n)) : m_s.recallMemory(int(n)));
        return std::nullopt;
    }
    return fail(UndefinedHeader);
}

bool ScpiSession::takeNumber(const Entry &e, const Parsed &p, double *value)
{
    if (!p.hasParam) {
        fail(MissingParameter);
        return false;
    }
    if (p.param.contains(QLatin1Char(','))) {
        fail(ParameterNotAllowed);
        return false;
    }
    const QString t = p.param.toUpper();
    if (e.param == Param::Bool && (t == QLatin1String("ON") || t == QLatin1String("OFF"))) {
        *value = t == QLatin1String("ON") ? 1 : 0;
        return true;
    }
    bool ok = false;
    double v = p.param.toDouble(&ok);
    if (!ok || !std::isfinite(v)) {
        fail(DataTypeError);
        return false;
    }
    if (e.param == Param::Bool)
        v = std::lround(v) != 0 ? 1 : 0;
    else if (e.param == Param::Int)
        v = double(std::lround(v));
    *value = v;
    return true;
}

bool ScpiSession::apply(SetResult r)
{
    switch (r) {
    case SetResult::Ok: return true;
    case SetResult::OutOfRange: fail(DataOutOfRange); return false;
    case SetResult::Conflict: fail(SettingsConflict); return false;
    case SetResult::NoSuchChannel: fail(SuffixOutOfRange); return false;
    }
    return false;
}

std::optional<QString> ScpiSession::execute(const Entry &e, int channel, const Parsed &p)
{
    const bool unitLetters = m_s.dialect() != Dialect::PlainScpi;
    auto value = [unitLetters](double v, char unit) {
        return unitLetters ? withUnit(v, QLatin1Char(unit)) : plainNumber(v);
    };
    auto flag = [](bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); };

    if (p.query) {
        if (!(e.access & Query))
            return fail(UndefinedHeader);
        if (p.hasParam)
            return fail(ParameterNotAllowed);
        switch (e.op) {
        case Op::MeasVolt: return value(m_s.measure(channel).volts, 'V');
        case Op::MeasCurr: return value(m_s.measure(channel).amps, 'A');
        case Op::Volt: return value(m_s.voltageSetpoint(channel), 'V');
        case Op::Curr: return value(m_s.currentSetpoint(channel), 'A');
        case Op::ProtVolt: return plainNumber(m_s.ovpLevel(channel));
        case Op::ProtCurr: return flag(m_s.ocpEnabled(channel));
        case Op::OutState: return flag(m_s.outputOn());
        case Op::Coupling: return QString::number(int(m_s.coupling()));
        case Op::AutoState: return flag(m_s.autoRun().running);
        case Op::AutoStart: return QString::number(m_s.autoRun().start);
        case Op::AutoEnd: return QString::number(m_s.autoRun().end);
        case Op::AutoCycle: return QString::number(m_s.autoRun().cycles);
        case Op::AutoDelay: return QString::number(m_s.autoRun().delay);
        case Op::Memory: return QString::number(m_s.memoryNumber());
        case Op::Error: return m_s.popError();
        case Op::MultiUnit: return QString::number(m_s.multiUnit());
        case Op::ProtClear: break;
        }
        return std::nullopt;
    }

    if (!(e.access & Write))
        return fail(UndefinedHeader);
    if (e.param == Param::None) {
        if (p.hasParam)
            return fail(ParameterNotAllowed);
        m_s.clearProtection();  // the only parameterless write
        return std::nullopt;
    }
    double v = 0;
    if (!takeNumber(e, p, &v))
        return std::nullopt;
    const int n = int(v);
    switch (e.op) {
    case Op::Volt: apply(m_s.setVoltage(channel, v)); break;
    case Op::Curr: apply(m_s.setCurrent(channel, v)); break;
    case Op::ProtVolt: apply(m_s.setOvp(channel, v)); break;
    case Op::ProtCurr: apply(m_s.setOcp(channel, n != 0)); break;
    case Op::OutState: apply(m_s.setOutput(n != 0)); break;
    case Op::Coupling: apply(m_s.setCoupling(n)); break;
    case Op::AutoState: apply(m_s.setAutoRunning(n != 0)); break;
    case Op::AutoStart: apply(m_s.setAutoStart(n)); break;
    case Op::AutoEnd: apply(m_s.setAutoEnd(n)); break;
    case Op::AutoCycle: apply(m_s.setAutoCycles(n)); break;
    case Op::AutoDelay: apply(m_s.setAutoDelay(n)); break;
    case Op::MultiUnit: apply(m_s.setMultiUnit(n)); break;
    default: break;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> interpretScpi(VirtualSupply &supply, const QString &line)
{
    bool understood = false;
    return ScpiSession(supply, false).run(line, false, &understood);
}

bool interpretSharedScpi(VirtualSupply &supply, const QString &line)
{
    bool understood = false;
    ScpiSession(supply, true).run(line, true, &understood);
    return understood;
}

} // namespace sim
