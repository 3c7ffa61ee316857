#pragma once

#include <memory>

class FrontPanel;
class PanelHost;

// The panel form of layout 1..4; null for a layout that has none.
std::unique_ptr<FrontPanel> createFrontPanel(int layout, PanelHost &host);
