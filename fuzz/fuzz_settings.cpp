// The settings file, which users edit by hand: any content reads without harm, every key
// gives a value or its default, and any text the program stores (a port path, a time, a
// colour) reads back exactly as it was written.

#include "FuzzSupport.h"

#include "datalog/GraphScales.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

const SettingKey Keys[] = {
    SettingKeys::CommType,    SettingKeys::MType,         SettingKeys::StartMemory,   SettingKeys::EndMemory,
    SettingKeys::Cycle,       SettingKeys::Delay,         SettingKeys::ReadTimes,     SettingKeys::Memory,
    SettingKeys::GpibBoard,   SettingKeys::GpibAddress,   SettingKeys::ComPort,       SettingKeys::BaudRate,
    SettingKeys::ComPortIndex, SettingKeys::BaudRateIndex, SettingKeys::Days,         SettingKeys::Hours,
    SettingKeys::Miniutes,    SettingKeys::Seconds,       SettingKeys::RecScale,      SettingKeys::RecPointStyle,
    SettingKeys::Ch1Color,    SettingKeys::Ch2Color,      SettingKeys::Ch3Color,      SettingKeys::Ch4Color,
    SettingKeys::WaitingTime, SettingKeys::RoundTime,     SettingKeys::WriterTime,
};

QString settingsFile()
{
    // In memory where the system has it: the store writes the file through at every change.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/zep-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/zep-fuzz-XXXXXX"));
    static const bool set = qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    Q_UNUSED(set);
    const QString path = SettingsStore::filePath();
    QDir().mkpath(QFileInfo(path).path());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::ensureApplication();
    const QString path = settingsFile();
    FuzzedDataProvider in(data, size);
    const std::string typed = in.ConsumeRandomLengthString(256);
    const std::string file = in.ConsumeRemainingBytesAsString();
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            Fuzz::fail("cannot write the settings file", path);
        f.write(file.data(), qint64(file.size()));
    }

    for (const SettingKey &k : Keys) {
        const QString text = SettingsStore::read(k);
        const int number = SettingsStore::readInt(k);
        bool ok = false;
        const int parsed = text.trimmed().toInt(&ok);
        Fuzz::check(number == (ok ? parsed : QByteArray(k.defaultValue).toInt()),
                    "a number, or the default for anything else", text);
        GraphScale::colorFromText(text);
    }

    // What the user typed comes back as typed, whatever the file held before.
    const QString value = QString::fromUtf8(typed.data(), qsizetype(typed.size()));
    SettingsStore::write(SettingKeys::ComPort, value);
    Fuzz::check(SettingsStore::read(SettingKeys::ComPort) == value, "a stored text reads back", value);
    return 0;
}
