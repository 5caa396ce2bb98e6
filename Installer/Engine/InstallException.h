#pragma once
#include <string>

#include "Installer/Engine/InstallListener.h"

namespace InstallBackend {

// The one error the engine's steps raise. Install is the only place that
// catches it, logs it and turns it into Failed.
class InstallException {
 public:
  // Whether another download of the package could end differently: not
  // when the target drive itself is the obstacle.
  enum class Retry { Worthwhile, Pointless };

  // cause: the error code the screen explains the failure with, when the
  // general text would not say what the user can do about it.
  explicit InstallException(std::wstring message, Retry retry = Retry::Worthwhile,
                            InstallError cause = InstallError::None)
      : m_message(std::move(message)), m_retry(retry), m_cause(cause) {}
  const std::wstring& Message() const { return m_message; }
  bool RetryIsPointless() const { return m_retry == Retry::Pointless; }
  InstallError Cause() const { return m_cause; }

 private:
  std::wstring m_message;
  Retry m_retry;
  InstallError m_cause;
};

}  // namespace InstallBackend
