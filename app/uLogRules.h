// Standard error in normal use: warnings and errors only. The web engine's start-up report
// and every category's debug and info messages stay off unless the user asks for them, with
// --verbose or with rules of their own in QT_LOGGING_RULES (which still win over these).
#pragma once

// For main() before the application object exists; takes --verbose out of the arguments. The rules
// go through the environment, so the engine's helper processes keep them too.
void QuietLogging(int& Argc, char** Argv);
