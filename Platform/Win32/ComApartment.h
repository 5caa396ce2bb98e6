#pragma once
#include <objbase.h>

namespace Platform {

// Joins the calling thread to the process's multithreaded COM apartment for
// the object's lifetime, for worker threads that make WMI calls.
class ComApartment {
 public:
  ComApartment() : m_result(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(m_result)) ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT m_result;
};

}  // namespace Platform
