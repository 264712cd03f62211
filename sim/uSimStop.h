// How tallybox-sim is told to stop: Ctrl+C or a termination request makes a descriptor
// readable, which the poll loop watches. One implementation per platform.
#pragma once

// Installs the handlers; returns the descriptor to watch, or -1 when that failed.
int InstallStopHandlers();
