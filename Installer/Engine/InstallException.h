#pragma once
#include <string>

namespace InstallBackend {

// The one error the engine's steps raise. Install is the only place that
// catches it, logs it and turns it into Failed.
class InstallException {
 public:
  explicit InstallException(std::wstring message) : m_message(std::move(message)) {}
  const std::wstring& Message() const { return m_message; }

 private:
  std::wstring m_message;
};

}  // namespace InstallBackend
