#pragma once

#include <QString>

// Runs the engine without any window until SIGTERM or SIGINT; returns the exit status.
int RunHeadless(const QString& configurationName);
