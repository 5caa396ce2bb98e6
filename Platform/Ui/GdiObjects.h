#pragma once
// Owners for the GDI objects the skin creates. Each deletes its object when
// it is destroyed or given another one, so no paint path can leak a handle.
#include <windows.h>

namespace Platform {

template <typename Handle>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(Handle handle) : m_handle(handle) {}
  ~GdiObject() { Reset(); }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;

  Handle Get() const { return m_handle; }
  bool IsEmpty() const { return m_handle == nullptr; }
  // Deletes the held object and takes the new one.
  void Reset(Handle handle = nullptr) {
    if (m_handle) ::DeleteObject(m_handle);
    m_handle = handle;
  }
  // Gives up ownership, for calls that take the object over (SetWindowRgn).
  Handle Release() {
    Handle handle = m_handle;
    m_handle = nullptr;
    return handle;
  }

 private:
  Handle m_handle = nullptr;
};

// A bitmap, typically loaded from the program's resources.
class Bitmap : public GdiObject<HBITMAP> {
 public:
  // False (and empty) when the resource is missing.
  bool LoadFromResource(int id);
  // Width and height in pixels; (0, 0) when empty.
  SIZE Size() const;
};

class Font : public GdiObject<HFONT> {
 public:
  bool CreateIndirect(const LOGFONTW& description);
};

class Pen : public GdiObject<HPEN> {
 public:
  Pen(int style, int width, COLORREF colour) : GdiObject(::CreatePen(style, width, colour)) {}
};

class Region : public GdiObject<HRGN> {
 public:
  bool CreateRoundRect(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
};

// A memory device context compatible with another one.
class MemoryDc {
 public:
  explicit MemoryDc(HDC compatibleWith) : m_dc(::CreateCompatibleDC(compatibleWith)) {}
  ~MemoryDc() {
    if (m_dc) ::DeleteDC(m_dc);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;

  HDC Get() const { return m_dc; }
  bool IsValid() const { return m_dc != nullptr; }

 private:
  HDC m_dc;
};

// Selects an object into a device context and puts the previous one back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(::SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (m_previous && m_previous != HGDI_ERROR) ::SelectObject(m_dc, m_previous);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

  // False when the object could not be selected.
  bool Succeeded() const { return m_previous != nullptr && m_previous != HGDI_ERROR; }

 private:
  HDC m_dc;
  HGDIOBJ m_previous;
};

// The device context of a window's paint cycle (BeginPaint / EndPaint).
class PaintDc {
 public:
  explicit PaintDc(HWND window) : m_window(window), m_dc(::BeginPaint(window, &m_paint)) {}
  ~PaintDc() { ::EndPaint(m_window, &m_paint); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;

  HDC Get() const { return m_dc; }

 private:
  HWND m_window;
  PAINTSTRUCT m_paint = {};
  HDC m_dc;
};

// A window's device context (GetDC / ReleaseDC); a null window gives the screen's.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : m_window(window), m_dc(::GetDC(window)) {}
  ~WindowDc() {
    if (m_dc) ::ReleaseDC(m_window, m_dc);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC Get() const { return m_dc; }

 private:
  HWND m_window;
  HDC m_dc;
};

}  // namespace Platform
