#pragma once

#include <QIcon>
#include <QString>

// Icons of the toolbar buttons by key: the desktop theme's icon where it has one, otherwise
// a small drawn badge. "OnOffLine" has two images: on line and off line.
namespace ToolbarIcons {

QIcon icon(const QString &key);
QIcon onOffLine(bool online);

} // namespace ToolbarIcons
