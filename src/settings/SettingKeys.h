#pragma once

// Every key the program keeps in its settings store, with the default a reader gets when the
// key is absent (or, for a number, when the stored text is not a number).
struct SettingKey {
    const char *section;
    const char *key;
    const char *defaultValue;
};

namespace SettingKeys {

// Connection of the last successful identification (written by the main window).
inline constexpr SettingKey CommType{"Common", "CommType", ""};
inline constexpr SettingKey MType{"Common", "MType", ""};

// Instrument-action dialogs.
inline constexpr SettingKey StartMemory{"AutoMode", "StartMemory", "0"};
inline constexpr SettingKey EndMemory{"AutoMode", "EndMemory", "0"};
inline constexpr SettingKey Cycle{"AutoMode", "Cycle", "0"};
inline constexpr SettingKey Delay{"Delay", "Delay", "0"};
inline constexpr SettingKey ReadTimes{"ReadTimes", "ReadTimes", "5"};
inline constexpr SettingKey Memory{"Memory", "Memory", "0"};

// Interfaces.
inline constexpr SettingKey GpibBoard{"GPIB", "GPIBn", "0"};
inline constexpr SettingKey GpibAddress{"GPIB", "Address", "0"};
inline constexpr SettingKey ComPort{"RS232", "ComPort", "1"};
inline constexpr SettingKey BaudRate{"RS232", "BaudRate", "9600"};
inline constexpr SettingKey ComPortIndex{"RS232", "ComPortIndex", "0"};
inline constexpr SettingKey BaudRateIndex{"RS232", "BaudRateIndex", "0"};

// Record setup.
inline constexpr SettingKey Days{"RECORDPERIOD", "Days", "0"};
inline constexpr SettingKey Hours{"RECORDPERIOD", "Hours", "0"};
inline constexpr SettingKey Miniutes{"RECORDPERIOD", "Miniutes", "0"};
inline constexpr SettingKey Seconds{"RECORDPERIOD", "Seconds", "0"};
inline constexpr SettingKey RecScale{"RECORDPERIOD", "RecScale", "0"};
inline constexpr SettingKey RecPointStyle{"RECORDPERIOD", "RecPointStyle", "0"};
inline constexpr SettingKey Ch1Color{"RECORDPERIOD", "Ch1Color", ""};
inline constexpr SettingKey Ch2Color{"RECORDPERIOD", "Ch2Color", ""};
inline constexpr SettingKey Ch3Color{"RECORDPERIOD", "Ch3Color", ""};
inline constexpr SettingKey Ch4Color{"RECORDPERIOD", "Ch4Color", ""};
inline constexpr SettingKey WaitingTime{"RECORDPERIOD", "WaitingTime", ""};
inline constexpr SettingKey RoundTime{"RECORDPERIOD", "RoundTime", ""};
inline constexpr SettingKey WriterTime{"RECORDPERIOD", "WriterTime", ""};

// Where saved records are kept: "Local" (this computer) or "Server" (the lab server), and how
// to reach the server. The password is never kept here: the server's client library reads
// ~/.pgpass or a service file itself.
inline constexpr SettingKey RecordPlace{"RecordPlace", "Place", "Local"};
inline constexpr SettingKey ServerHost{"RecordPlace", "Host", ""};
inline constexpr SettingKey ServerPort{"RecordPlace", "Port", "5432"};
inline constexpr SettingKey ServerDatabase{"RecordPlace", "Database", "zep"};
inline constexpr SettingKey ServerUser{"RecordPlace", "User", ""};

} // namespace SettingKeys
