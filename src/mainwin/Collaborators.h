#pragma once

#include "connection/LinkInterfaces.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class FrontPanel;
class PanelHost;
class QWidget;
class Supply;

// The parts the main window works with but does not own the design of: the interface
// dialogs, the links, the instrument-action dialogs and the panel forms. Each has a default
// (MDIForm1 creates it when none is given); tests substitute their own where a real one
// would need a person at the keyboard or hardware.

// Creates the panel form of layout 1..4 (null for a layout without one).
using PanelFactoryFn = std::function<std::unique_ptr<FrontPanel>(PanelHost &host, Supply &supply)>;

class ActionDialogs
{
public:
    struct AutoRange {
        int start = 0;
        int end = 0;
        int cycle = 0;
    };
    virtual ~ActionDialogs() = default;
    // Each runs its dialog; nullopt when cancelled.
    virtual std::optional<AutoRange> autoMode() = 0;
    virtual std::optional<QString> delay() = 0;  // units of 100 ms, as typed
    virtual std::optional<int> readTimes() = 0;  // seconds, 0..32
    virtual std::optional<int> saveMemory() = 0;
    virtual std::optional<int> recallMemory() = 0;
};
