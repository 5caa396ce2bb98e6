#include "Platform/Ui/MessageMap.h"

namespace Platform {
namespace {

bool Matches(const MessageMapEntry& entry, UINT message, WPARAM wParam) {
  if (entry.message != message) return false;
  if (message != WM_COMMAND) return true;
  return entry.id == LOWORD(wParam) && entry.code == HIWORD(wParam);
}

}  // namespace

MessageThunk FindHandler(const MessageMap* map, UINT message, WPARAM wParam) {
  for (; map; map = map->base ? map->base() : nullptr) {
    for (const MessageMapEntry* entry = map->entries; entry->thunk; ++entry) {
      if (Matches(*entry, message, wParam)) return entry->thunk;
    }
  }
  return nullptr;
}

}  // namespace Platform
