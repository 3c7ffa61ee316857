#include "datalog/RecordPlace.h"

#include "datalog/RecordStore.h"
#include "datalog/ServerRecordStore.h"

RecordPlace::RecordPlace(RecordStore &local) : m_local(local)
{
    reload();
}

RecordPlace::~RecordPlace() = default;

void RecordPlace::reload()
{
    const RecordPlaceSettings fresh = RecordPlaceSettings::read();
    // A changed address needs a new connection; the same one keeps its connection.
    if (!m_server || !(fresh == m_settings))
        m_server.reset();
    m_settings = fresh;
    if (onServer() && !m_server) {
        m_server = std::make_unique<ServerRecordStore>(m_settings, m_local);
        // The windows use it from user actions: they stay usable while the server works.
        m_server->setProgressShown(true);
    }
}

SavedRecords &RecordPlace::current()
{
    if (m_server)
        return *m_server;
    return m_local;
}
