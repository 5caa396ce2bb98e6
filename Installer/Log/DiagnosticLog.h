#pragma once
#include <string>

// The installer's diagnostic log "Installer.log" in its working folder.
// Records go to the logger "default" through LOG_INFO / LOG_ERROR.

// The user's temporary directory + the installer's folder name + separator,
// computed afresh at each call.
std::wstring GetWorkingFolder();

// Points every logger at the log file (appending) with the record layout
// "dd/MM/yyyy HH:mm:ss,mmm LEVEL [default] message". Called once, first.
void ConfigureLogging();
