#pragma once
#include <unknwn.h>

namespace Platform {

// Owns one reference to a COM interface.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : m_pointer(other.m_pointer) { other.m_pointer = nullptr; }

  Interface* Get() const { return m_pointer; }
  Interface* operator->() const { return m_pointer; }
  explicit operator bool() const { return m_pointer != nullptr; }
  // For out-parameters: releases what is held and hands out the slot.
  Interface** Put() {
    Reset();
    return &m_pointer;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  void Reset() {
    if (m_pointer) m_pointer->Release();
    m_pointer = nullptr;
  }

 private:
  Interface* m_pointer = nullptr;
};

}  // namespace Platform
