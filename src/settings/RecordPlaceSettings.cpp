#include "settings/RecordPlaceSettings.h"

#include "settings/SettingsStore.h"

namespace {

const QString ServerValue = QStringLiteral("Server");
const QString LocalValue = QStringLiteral("Local");

} // namespace

RecordPlaceSettings RecordPlaceSettings::read()
{
    RecordPlaceSettings s;
    const QString place = SettingsStore::read(SettingKeys::RecordPlace).trimmed();
    s.place = place.compare(ServerValue, Qt::CaseInsensitive) == 0 ? Place::LabServer : Place::ThisComputer;
    s.host = SettingsStore::read(SettingKeys::ServerHost).trimmed();
    const int port = SettingsStore::readInt(SettingKeys::ServerPort);
    s.port = port > 0 && port < 65536 ? port : DefaultPort;
    const QString database = SettingsStore::read(SettingKeys::ServerDatabase).trimmed();
    if (!database.isEmpty())
        s.database = database;
    s.user = SettingsStore::read(SettingKeys::ServerUser).trimmed();
    return s;
}

void RecordPlaceSettings::write() const
{
    SettingsStore::write(SettingKeys::RecordPlace, place == Place::LabServer ? ServerValue : LocalValue);
    SettingsStore::write(SettingKeys::ServerHost, host);
    SettingsStore::writeInt(SettingKeys::ServerPort, port);
    SettingsStore::write(SettingKeys::ServerDatabase, database);
    SettingsStore::write(SettingKeys::ServerUser, user);
}

QString RecordPlaceSettings::placeName(Place place)
{
    return place == Place::LabServer ? QStringLiteral("Lab server") : QStringLiteral("This computer");
}

QString RecordPlaceSettings::serverName() const
{
    const QString who = user.isEmpty() ? QString() : user + QLatin1Char('@');
    const QString where = host.isEmpty() ? QStringLiteral("localhost") : host;
    return QStringLiteral("%1%2:%3/%4").arg(who, where).arg(port).arg(database);
}
