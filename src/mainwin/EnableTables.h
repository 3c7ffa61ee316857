#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// Which menu items and toolbar buttons are usable per connection state and layout. Layout 0
// stands for the not-connected state (ResetMenu / ResetToolbar).
namespace EnableTables {

// The toolbar's buttons by key, in toolbar order.
const QStringList &toolbarKeys();

// Menu items set by ResetMenu (layout 0) and ResetMenuLayoutN: item name -> enabled. Items
// the table leaves unchanged are absent.
QHash<QString, bool> menuEnables(int layout);

// Toolbar buttons enabled by ResetToolbar (layout 0) and ResetToolBarLayoutN; every other
// button is disabled.
QStringList toolbarEnabledAtReset(int layout);

// Toolbar buttons enabled by SetupToolBar after identification of `layout`.
QStringList toolbarEnabledAtSetup(int layout);

} // namespace EnableTables
