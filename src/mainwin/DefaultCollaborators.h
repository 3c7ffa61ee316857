#pragma once

#include "mainwin/MDIForm1.h"

// The program's own collaborators of the main window: the machine-type table, the panel
// forms, the RS232 and GPIB dialogs, the serial and GPIB links and the action dialogs.
namespace DefaultCollaborators {

// Fills every collaborator `c` lacks; `owner` parents the dialogs.
void complete(MDIForm1::Collaborators &c, QWidget *owner);

} // namespace DefaultCollaborators
