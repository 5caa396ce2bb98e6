#pragma once

namespace Platform {

// The program's application object. Exactly one exists; the entry point
// runs its InitInstance and ends the process with what ExitInstance returns.
// There is no main window and no message loop of its own: whatever
// InitInstance returns, the run is over when it comes back.
class Application {
 public:
  Application();
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The whole run; the result is ignored because no main window follows.
  virtual int InitInstance();
  // The process exit code.
  virtual int ExitInstance();

  static Application* Current();
};

// Runs the application object; returns the process exit code.
int RunApplication();

}  // namespace Platform
