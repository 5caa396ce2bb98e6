#pragma once
// Static message maps: a class lists which messages, commands and
// notifications go to which of its member handlers, and the window procedure
// looks them up from the most derived class to its bases. Messages found in
// no map get the window's default processing.
//
//   BEGIN_MESSAGE_MAP(MyScreen, NCommon::ImageDialog)
//     ON_WM_CTLCOLOR()
//     ON_COMMAND(1008, OnCancel)
//   END_MESSAGE_MAP()
#include <windows.h>

namespace Platform {

class Window;

using MessageThunk = LRESULT (*)(Window& self, WPARAM wParam, LPARAM lParam);

struct MessageMapEntry {
  UINT message;
  UINT code;  // notification code for WM_COMMAND entries
  UINT id;    // command or control id for WM_COMMAND entries
  MessageThunk thunk;
};

struct MessageMap {
  const MessageMap* (*base)();
  const MessageMapEntry* entries;  // ends with an entry whose thunk is null
};

// The thunk of the entry that handles this message, or null.
MessageThunk FindHandler(const MessageMap* map, UINT message, WPARAM wParam);

}  // namespace Platform

#define DECLARE_MESSAGE_MAP()                                  \
 public:                                                       \
  static const ::Platform::MessageMap* GetThisMessageMap();    \
                                                               \
 protected:                                                    \
  const ::Platform::MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                  \
  const ::Platform::MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const ::Platform::MessageMap* theClass::GetThisMessageMap() {                                 \
    using ThisClass = theClass;                                                                 \
    using TheBase = baseClass;                                                                  \
    static const ::Platform::MessageMapEntry entries[] = {

#define END_MESSAGE_MAP()                                                      \
  {0, 0, 0, nullptr}};                                                         \
  static const ::Platform::MessageMap map = {&TheBase::GetThisMessageMap, entries}; \
  return &map;                                                                 \
  }

#define KORVANE_SELF static_cast<ThisClass&>(self)
#define KORVANE_POINT(lParam) \
  POINT { static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) }

// LRESULT handler(WPARAM, LPARAM)
#define ON_MESSAGE(message, handler)                                                     \
  {message, 0, 0, [](::Platform::Window& self, WPARAM wParam, LPARAM lParam) -> LRESULT { \
     return KORVANE_SELF.handler(wParam, lParam);                                        \
   }},

// void handler(), for a command or a control's notification.
#define ON_CONTROL(code, id, handler)                                              \
  {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id),                     \
   [](::Platform::Window& self, WPARAM, LPARAM) -> LRESULT {                       \
     KORVANE_SELF.handler();                                                       \
     return 0;                                                                     \
   }},
#define ON_COMMAND(id, handler) ON_CONTROL(BN_CLICKED, id, handler)
#define ON_BN_CLICKED(id, handler) ON_CONTROL(BN_CLICKED, id, handler)
#define ON_CBN_SELENDOK(id, handler) ON_CONTROL(CBN_SELENDOK, id, handler)

// BOOL OnEraseBkgnd(HDC)
#define ON_WM_ERASEBKGND()                                                               \
  {WM_ERASEBKGND, 0, 0, [](::Platform::Window& self, WPARAM wParam, LPARAM) -> LRESULT { \
     return KORVANE_SELF.OnEraseBkgnd(reinterpret_cast<HDC>(wParam));                    \
   }},

#define KORVANE_MOUSE_ENTRY(message, handler)                                            \
  {message, 0, 0, [](::Platform::Window& self, WPARAM wParam, LPARAM lParam) -> LRESULT { \
     KORVANE_SELF.handler(static_cast<UINT>(wParam), KORVANE_POINT(lParam));             \
     return 0;                                                                           \
   }},
// void handler(UINT flags, POINT clientPoint)
#define ON_WM_LBUTTONDOWN() KORVANE_MOUSE_ENTRY(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() KORVANE_MOUSE_ENTRY(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_MOUSEMOVE() KORVANE_MOUSE_ENTRY(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_MOUSEHOVER() KORVANE_MOUSE_ENTRY(WM_MOUSEHOVER, OnMouseHover)

// void OnMouseLeave()
#define ON_WM_MOUSELEAVE()                                                      \
  {WM_MOUSELEAVE, 0, 0, [](::Platform::Window& self, WPARAM, LPARAM) -> LRESULT { \
     KORVANE_SELF.OnMouseLeave();                                               \
     return 0;                                                                  \
   }},

// BOOL OnSetCursor(HWND window, UINT hitTest, UINT mouseMessage)
#define ON_WM_SETCURSOR()                                                                    \
  {WM_SETCURSOR, 0, 0, [](::Platform::Window& self, WPARAM wParam, LPARAM lParam) -> LRESULT { \
     return KORVANE_SELF.OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam),          \
                                     HIWORD(lParam));                                        \
   }},

// void OnClose()
#define ON_WM_CLOSE()                                                       \
  {WM_CLOSE, 0, 0, [](::Platform::Window& self, WPARAM, LPARAM) -> LRESULT { \
     KORVANE_SELF.OnClose();                                                \
     return 0;                                                              \
   }},

// HBRUSH OnCtlColor(HDC, HWND control, UINT kind), kind one of CTLCOLOR_*.
#define KORVANE_CTLCOLOR_ENTRY(message)                                                 \
  {message, 0, 0, [](::Platform::Window& self, WPARAM wParam, LPARAM lParam) -> LRESULT { \
     return reinterpret_cast<LRESULT>(KORVANE_SELF.OnCtlColor(                           \
         reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),                  \
         message - WM_CTLCOLORMSGBOX));                                                  \
   }},
#define ON_WM_CTLCOLOR()                      \
  KORVANE_CTLCOLOR_ENTRY(WM_CTLCOLORMSGBOX)   \
  KORVANE_CTLCOLOR_ENTRY(WM_CTLCOLOREDIT)     \
  KORVANE_CTLCOLOR_ENTRY(WM_CTLCOLORLISTBOX)  \
  KORVANE_CTLCOLOR_ENTRY(WM_CTLCOLORBTN)      \
  KORVANE_CTLCOLOR_ENTRY(WM_CTLCOLORDLG)      \
  KORVANE_CTLCOLOR_ENTRY(WM_CTLCOLORSCROLLBAR) \
  KORVANE_CTLCOLOR_ENTRY(WM_CTLCOLORSTATIC)
