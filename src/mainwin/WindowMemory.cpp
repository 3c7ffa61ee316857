#include "mainwin/WindowMemory.h"

#include "settings/SettingsStore.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QMainWindow>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>

namespace WindowMemory {

namespace {

QByteArray readBytes(const QString &key)
{
    return QByteArray::fromBase64(SettingsStore::read(QLatin1String(Section), key).toLatin1());
}

void writeBytes(const QString &key, const QByteArray &bytes)
{
    SettingsStore::write(QLatin1String(Section), key, QString::fromLatin1(bytes.toBase64()));
}

// Keeps a top-level window where it can be seen: at least its title bar on an available
// screen, and no larger than that screen.
void keepOnScreen(QWidget &window)
{
    const QRect frame = window.frameGeometry();
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        if (area.contains(frame.topLeft() + QPoint(frame.width() / 2, 8)) && frame.height() <= area.height()
            && frame.width() <= area.width())
            return;
    }
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize frameExtra = frame.size() - window.size();
    window.resize(window.size().boundedTo(area.size() - frameExtra));
    window.move(area.topLeft());
}

QTableView *gridOf(const QWidget &content)
{
    return content.findChild<QTableView *>();
}

} // namespace

void restoreMain(QMainWindow &window)
{
    const QByteArray geometry = readBytes(QStringLiteral("MainGeometry"));
    if (!geometry.isEmpty() && window.restoreGeometry(geometry))
        keepOnScreen(window);
    const QByteArray state = readBytes(QStringLiteral("MainState"));
    if (!state.isEmpty())
        window.restoreState(state);
    if (SettingsStore::read(QLatin1String(Section), QStringLiteral("StatusBar")) == QLatin1String("0"))
        window.statusBar()->hide();
}

void saveMain(const QMainWindow &window)
{
    writeBytes(QStringLiteral("MainGeometry"), window.saveGeometry());
    writeBytes(QStringLiteral("MainState"), window.saveState());
    SettingsStore::writeInt(QLatin1String(Section), QStringLiteral("StatusBar"),
                            window.statusBar()->isHidden() ? 0 : 1);
}

void restoreChild(QWidget &content, const QString &key)
{
    if (QTableView *grid = gridOf(content)) {
        const QByteArray columns = readBytes(key + QStringLiteral("Columns"));
        if (!columns.isEmpty())
            grid->horizontalHeader()->restoreState(columns);
    }
}

void saveChild(const QWidget &content, const QString &key)
{
    if (const QTableView *grid = gridOf(content))
        writeBytes(key + QStringLiteral("Columns"), grid->horizontalHeader()->saveState());
}

std::optional<QSize> readSize(const QString &key)
{
    if (key.isEmpty())
        return std::nullopt;
    const QStringList parts = SettingsStore::read(QLatin1String(Section), key).split(QLatin1Char('x'));
    bool w = false, h = false;
    const QSize size = parts.size() == 2 ? QSize(parts[0].toInt(&w), parts[1].toInt(&h)) : QSize();
    if (!w || !h || size.width() < 200 || size.height() < 150)
        return std::nullopt;
    return size;
}

void saveSize(const QString &key, const QSize &size)
{
    SettingsStore::write(QLatin1String(Section), key, QStringLiteral("%1x%2").arg(size.width()).arg(size.height()));
}

} // namespace WindowMemory
