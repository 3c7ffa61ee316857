#include "settings/SettingsStore.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace SettingsStore {

namespace {

QString configHome()
{
    const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
    if (!xdg.isEmpty())
        return QString::fromLocal8Bit(xdg);
    return QDir::homePath() + QStringLiteral("/.config");
}

QString keyPath(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}

QSettings open()
{
    return QSettings(filePath(), QSettings::IniFormat);
}

} // namespace

QString filePath()
{
    return configHome() + QLatin1Char('/') + QLatin1String(ApplicationName)
        + QStringLiteral("/settings.ini");
}

QString read(const QString &section, const QString &key, const QString &defaultValue)
{
    const QSettings s = open();
    const QVariant v = s.value(keyPath(section, key));
    if (!v.isValid())
        return defaultValue;
    // A hand-edited value with an unquoted comma comes back as a list; keep its text.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

int readInt(const QString &section, const QString &key, int defaultValue)
{
    bool ok = false;
    const int v = read(section, key).trimmed().toInt(&ok);
    return ok ? v : defaultValue;
}

double readDouble(const QString &section, const QString &key, double defaultValue)
{
    bool ok = false;
    const double v = read(section, key).trimmed().toDouble(&ok);
    return ok ? v : defaultValue;
}

void write(const QString &section, const QString &key, const QString &text)
{
    QSettings s = open();
    s.setValue(keyPath(section, key), text);
    s.sync();
}

void writeInt(const QString &section, const QString &key, int value)
{
    write(section, key, QString::number(value));
}

QString read(const SettingKey &k)
{
    return read(QLatin1String(k.section), QLatin1String(k.key), QLatin1String(k.defaultValue));
}

int readInt(const SettingKey &k)
{
    return readInt(QLatin1String(k.section), QLatin1String(k.key),
                   QByteArray(k.defaultValue).toInt());
}

void write(const SettingKey &k, const QString &text)
{
    write(QLatin1String(k.section), QLatin1String(k.key), text);
}

void writeInt(const SettingKey &k, int value)
{
    write(k, QString::number(value));
}

} // namespace SettingsStore
