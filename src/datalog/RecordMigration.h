#pragma once

#include <QString>

#include <functional>

class RecordStore;
class ServerRecordStore;

// Copies every saved record of this computer's store to the lab server, lowest number first,
// each under a new number with its old one in the description. Records copied by an earlier
// run are skipped, so running it twice copies nothing twice.
struct RecordMigration {
    int total = 0;
    int copied = 0;
    int alreadyThere = 0;
    int failed = 0;
    QString error;  // why the run stopped early (store unreadable, server away); empty otherwise

    // `progress` receives one line per record.
    static RecordMigration run(RecordStore &local, ServerRecordStore &server,
                               const std::function<void(const QString &)> &progress);
    bool complete() const { return error.isEmpty() && failed == 0; }
};
