#pragma once

class QWidget;

// The instrument look of the front panels: dark readouts with large digits, unit labels,
// toggles that show their state.
namespace PanelStyle {
void apply(QWidget &panel);
}
