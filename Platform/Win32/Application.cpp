#include "Platform/Win32/Application.h"

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
  app->InitInstance();
  return app->ExitInstance();
}

}  // namespace Platform
