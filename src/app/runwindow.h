#pragma once

namespace preisliste {

// Opens the window with Telvoro's settings and runs until it is closed.
// Needs a QApplication. With $PREISLISTE_SCREENSHOT set to a file name, the
// window saves a picture of itself there once it is filled, and closes.
int RunWindow();

} // namespace preisliste
