#pragma once

#include "settings/SettingKeys.h"

#include <QString>

// The per-user settings store of application "ZEP-1-0": text values by section and key, in
// $XDG_CONFIG_HOME/ZEP-1-0/settings.ini (~/.config/ZEP-1-0/settings.ini by default).
// Every write is flushed at once, so a value survives a crash right after it was set.
namespace SettingsStore {

inline constexpr const char *ApplicationName = "ZEP-1-0";

// The INI file in use.
QString filePath();

// The stored text, or `defaultValue` when the key is absent.
QString read(const QString &section, const QString &key, const QString &defaultValue = QString());
// The stored integer; `defaultValue` when absent or not a whole number.
int readInt(const QString &section, const QString &key, int defaultValue);
// The stored number; `defaultValue` when absent or not a number.
double readDouble(const QString &section, const QString &key, double defaultValue);

void write(const QString &section, const QString &key, const QString &text);
void writeInt(const QString &section, const QString &key, int value);

// The same, by the key table.
QString read(const SettingKey &k);
int readInt(const SettingKey &k);
void write(const SettingKey &k, const QString &text);
void writeInt(const SettingKey &k, int value);

} // namespace SettingsStore
