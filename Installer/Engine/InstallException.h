#pragma once
#include <string>

namespace InstallBackend {

// The one error the engine's steps raise. Install is the only place that
// catches it, logs it and turns it into Failed.
class InstallException {
 public:
  // Whether another download of the package could end differently: not
  // when the target drive itself is the obstacle.
  enum class Retry { Worthwhile, Pointless };

  explicit InstallException(std::wstring message, Retry retry = Retry::Worthwhile)
      : m_message(std::move(message)), m_retry(retry) {}
  const std::wstring& Message() const { return m_message; }
  bool RetryIsPointless() const { return m_retry == Retry::Pointless; }

 private:
  std::wstring m_message;
  Retry m_retry;
};

}  // namespace InstallBackend
