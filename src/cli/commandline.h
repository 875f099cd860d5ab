#pragma once

#include <QStringList>

namespace preisliste {

// Exit codes of the command line.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;   // the run failed or was rolled back
inline constexpr int kExitUsage = 2;    // wrong usage

// Runs the command line; `arguments` starts with the program name.
int RunCommandLine(const QStringList &arguments);

QString UsageText();

} // namespace preisliste
