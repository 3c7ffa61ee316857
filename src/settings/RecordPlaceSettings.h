#pragma once

#include <QString>

// The choice of where saved records are kept, and the lab server's address, as stored in
// the settings file. Values a hand edit damaged read back as their defaults.
struct RecordPlaceSettings {
    enum class Place { ThisComputer, LabServer };
    static constexpr int DefaultPort = 5432;

    Place place = Place::ThisComputer;
    QString host;      // name, address, or a socket folder; empty: the client library's default
    int port = DefaultPort;
    QString database = QStringLiteral("zep");
    QString user;      // empty: the client library's default (the login name)

    static RecordPlaceSettings read();
    void write() const;

    // "This computer" or "Lab server".
    static QString placeName(Place place);
    // "user@host:port/database" for messages.
    QString serverName() const;

    bool operator==(const RecordPlaceSettings &) const = default;
};
