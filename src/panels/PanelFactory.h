#pragma once

#include <memory>

class FrontPanel;
class PanelHost;
class Supply;

// The panel form of the supply's layout (1..4); null for a layout that has none.
std::unique_ptr<FrontPanel> createFrontPanel(PanelHost &host, Supply &supply);
