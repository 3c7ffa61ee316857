#pragma once

#include "settings/RecordPlaceSettings.h"

#include <memory>

class RecordStore;
class SavedRecords;
class ServerRecordStore;

// Where the windows save, list, load and delete records: this computer's store or the lab
// server, as the settings say. The sample buffer is always this computer's.
class RecordPlace
{
public:
    explicit RecordPlace(RecordStore &local);
    ~RecordPlace();
    RecordPlace(const RecordPlace &) = delete;
    RecordPlace &operator=(const RecordPlace &) = delete;

    // Takes the choice from the settings again (after the place dialog changed them).
    void reload();

    SavedRecords &current();
    RecordStore &local() { return m_local; }
    bool onServer() const { return m_settings.place == RecordPlaceSettings::Place::LabServer; }
    const RecordPlaceSettings &settings() const { return m_settings; }

private:
    RecordStore &m_local;
    RecordPlaceSettings m_settings;
    std::unique_ptr<ServerRecordStore> m_server;
};
