#include "Platform/Ui/ResourceModule.h"

namespace Platform {

HINSTANCE ResourceModule() { return ::GetModuleHandleW(nullptr); }

}  // namespace Platform
