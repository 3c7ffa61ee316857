#include "ports/PortChoice.h"

#include "ports/PortProber.h"

PortChoice PortChoice::choose(const QStringList &ports, const QString &storedName, int storedIndex)
{
    PortChoice c;
    const QString name = storedName.trimmed();
    if (!name.isEmpty()) {
        c.text = name;
        c.index = ports.indexOf(name);
        if (c.index < 0 && PortLister::deviceExists(name)) {
            c.appendName = true;
            c.index = ports.size();
        }
        return c;
    }
    if (storedIndex >= 0 && storedIndex < ports.size()) {
        c.index = storedIndex;
        c.text = ports.at(storedIndex);
    }
    return c;
}

int PortChoice::chooseBaud(const QStringList &bauds, int storedRate, int storedIndex)
{
    const int byRate = bauds.indexOf(QString::number(storedRate));
    if (byRate >= 0)
        return byRate;
    if (storedIndex >= 0 && storedIndex < bauds.size())
        return storedIndex;
    return 0;
}

bool PortChoice::usable(const QStringList &ports, const QString &name)
{
    const QString trimmed = name.trimmed();
    return !trimmed.isEmpty() && (ports.contains(trimmed) || PortLister::deviceExists(trimmed));
}
