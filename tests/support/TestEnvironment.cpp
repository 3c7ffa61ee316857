#include "TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>

namespace TestEnvironment {

QString isolateUserFolders()
{
    static QTemporaryDir dir;  // removed when the test process ends
    const QString root = dir.path();
    QDir(root).mkpath(QStringLiteral("config"));
    QDir(root).mkpath(QStringLiteral("data"));
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toLocal8Bit());
    qputenv("ZEP_DATA_DIR", (root + QStringLiteral("/data/ZEP-1-0")).toLocal8Bit());
    return root;
}

} // namespace TestEnvironment
