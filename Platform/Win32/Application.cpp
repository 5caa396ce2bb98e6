#include "Platform/Win32/Application.h"

#include "Platform/Ui/UnhandledException.h"

namespace Platform {
namespace {

Application* g_application = nullptr;

}  // namespace

Application::Application() { g_application = this; }

Application::~Application() {
  if (g_application == this) g_application = nullptr;
}

int Application::InitInstance() { return 1; }

int Application::ExitInstance() { return 0; }

Application* Application::Current() { return g_application; }

int RunApplication() {
  Application* app = Application::Current();
  if (!app) return 1;
  try {
    app->InitInstance();
    return app->ExitInstance();
  } catch (...) {
    // Whatever the run was doing did not finish: a failure, never a silent end.
    ReportCurrentException("start-up");
    return 1;
  }
}

}  // namespace Platform
