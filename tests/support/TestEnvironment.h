#pragma once

#include <QString>

namespace TestEnvironment {

// Points XDG_CONFIG_HOME, XDG_DATA_HOME and ZEP_DATA_DIR at a fresh temporary folder owned
// by this test process, so parallel tests never share settings or databases. Returns it.
QString isolateUserFolders();

} // namespace TestEnvironment
