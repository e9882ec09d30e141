#pragma once

class MainWindow;

// Gives every control and readout of the window's pages a short tooltip: what it does and in
// which unit ("dz" is one grid division).
namespace app {
void applyTooltips(MainWindow& window);
} // namespace app
