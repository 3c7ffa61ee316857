#include "panels/PanelStyle.h"

#include <QWidget>

namespace PanelStyle {

void apply(QWidget &panel)
{
    panel.setStyleSheet(QStringLiteral(
        "QGroupBox { font-weight: bold; border: 1px solid #8a8f98; border-radius: 4px;"
        "  margin-top: 1.2em; padding: 4px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 4px; }"
        "QLineEdit[readout=\"true\"] { background: #101a12; color: #7CFC7C;"
        "  font-family: monospace; font-size: 26pt; font-weight: bold;"
        "  border: 2px inset #445; padding: 2px 6px; }"
        "QLabel[unit=\"true\"] { font-size: 20pt; font-weight: bold; }"
        // Room for "CV" or "CC" also while blank, so a frame keeps its size.
        "QLabel[regulation=\"true\"] { font-size: 14pt; font-weight: bold; color: #1f5fbf;"
        "  min-width: 40px; }"
        "QLineEdit[display=\"true\"] { background: #101a12; color: #ffd24a;"
        "  font-family: monospace; font-weight: bold; }"
        "QPushButton { padding: 4px 12px; border: 1px solid #8a8f98; border-radius: 3px;"
        "  background: #eceef1; min-width: 64px; }"
        "QPushButton:pressed { background: #d0d4da; }"
        "QPushButton:checked { background: #2f8f2f; color: white; font-weight: bold;"
        "  border: 1px solid #1f5f1f; }"
        "QPushButton:disabled { color: #9a9a9a; background: #f4f4f4; }"));
}

} // namespace PanelStyle
