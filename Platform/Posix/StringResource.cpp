#include "Platform/StringResource.h"

namespace Platform {

// Resources exist only in the Windows executable; a native build has none.
std::wstring LoadStringResource(int) { return std::wstring(); }

}  // namespace Platform
