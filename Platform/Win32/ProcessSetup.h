#pragma once

// The process-wide set-up the start-up performs before it reads its command
// line. The COM calls return their HRESULT; the others report nothing.
namespace Platform {

long InitializeComMultithreaded();
// Process-wide security for the WMI calls: default authentication level,
// impersonation, no capabilities.
long InitializeComSecurity();
// Registers the common control classes of ICC_WIN95_CLASSES.
void RegisterCommonControls();
// Hosting ActiveX controls needs nothing of us: the screens host none.
void EnableControlContainer();
// Loads the rich edit libraries from the system folder and keeps them for
// the life of the process, so that the RichEdit20W class is registered.
void InitRichEdit();
// Ends the process at once with exitCode, other threads and all, running no
// clean-up: for a thread stuck in a call nothing can interrupt, which would
// otherwise keep the process or race the clean-up of a normal exit.
[[noreturn]] void EndProcessNow(unsigned exitCode);

}  // namespace Platform
