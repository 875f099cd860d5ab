#pragma once

#include "app/updatewindow.h"

namespace preisliste {

// The label text for a customer, from a header-only request to the
// price-list server ($PREISLISTE_SERVER), with dates in `locale`.
DownloadStatusProvider ServerDownloadStatus(const QLocale &locale);

// Opens the window with Telvoro's settings and runs until it is closed.
// Needs a QApplication. With $PREISLISTE_SCREENSHOT set to a file name, the
// window saves a picture of itself there once it is filled, and closes.
int RunWindow();

} // namespace preisliste
