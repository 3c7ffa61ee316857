#pragma once

#include <QSize>
#include <QString>

#include <optional>

class QMainWindow;
class QWidget;

// Remembers how the user left the windows, in the settings file's section "Windows": the
// main window's geometry with its toolbar and status bar, and the column widths of a data
// window's grid, and the main window's size for each data window (the data windows fill the
// main window's client area).
// Values are stored as base64 text; anything unreadable is ignored, and a geometry from a
// screen that is gone is brought back onto a visible one.
namespace WindowMemory {

inline constexpr const char *Section = "Windows";

void restoreMain(QMainWindow &window);
void saveMain(const QMainWindow &window);

// `content` is a data window; `key` names it with its variant ("Table3" for a three-channel
// table), since column layouts differ per channel count.
void restoreChild(QWidget &content, const QString &key);
void saveChild(const QWidget &content, const QString &key);

// The main window's size while the data window `key` ("TableSize", "GraphSize") was in
// front, as "WIDTHxHEIGHT"; nullopt when none is stored or it is unreadable.
std::optional<QSize> readSize(const QString &key);
void saveSize(const QString &key, const QSize &size);

} // namespace WindowMemory
