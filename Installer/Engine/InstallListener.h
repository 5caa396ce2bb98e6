#pragma once
#include <atomic>
#include <cstdint>

// The install engine's only channel to whoever runs it. Every engine
// operation takes a listener that may be null; with null, no call is made.
// All calls come on the engine's thread and must return at once.

enum InstallStatus : int {
  Downloading = 0,  // first thing in every download call, retries included
  Extracting = 1,   // the archive is open and its entry count known
  Completed = 2,    // after a successful extraction
  Failed = 3,       // before every false result of the install
};

// Why the download is waiting on the network instead of receiving.
enum class NetworkWait : int {
  Stalled = 0,    // no data for `seconds` s: reconnecting now
  Retrying = 1,   // the connection failed: the next try comes in `seconds` s
};

enum class InstallError : int {
  None = 0,                  // stored first thing in every install run
  NotEnoughSpace = 0x400,    // fewer than 150 MiB free on the target drive
  DriveNotConnected = 0x800, // the letter is not among the USB drives present
};

class IInstallListener {
 public:
  virtual void OnStatus(int status) = 0;
  // Progress inside the current phase, 0.0 to 1.0.
  virtual void OnProgress(float fraction) = 0;
  // The value last stored by SetErrorCode; read by the listener's owner.
  virtual int GetErrorCode() = 0;
  // Stored before the Failed it explains.
  virtual void SetErrorCode(int code) = 0;
  // The download waits on the network; the next byte or OnStatus ends the
  // wait. Listeners that show nothing of it need not override this.
  virtual void OnNetworkWait(NetworkWait /*what*/, int /*seconds*/) {}
  // How much of the package is here, after every read; total is -1 while
  // the server has not said. Shown as sizes, speed and time left.
  virtual void OnDownloadBytes(std::uint64_t /*received*/, std::int64_t /*total*/) {}
  // How many of the files the staging or the commit handles are done.
  virtual void OnFiles(int /*done*/, int /*total*/) {}

 protected:
  ~IInstallListener() = default;
};

// The user's cancel: made and set by whoever runs the engine (from any
// thread), read by the engine at its checks. It only ever goes from clear to
// set, and travels by reference from where it is made to where it is read.
class CancelFlag {
 public:
  CancelFlag() = default;
  CancelFlag(const CancelFlag&) = delete;
  CancelFlag& operator=(const CancelFlag&) = delete;

  void Set() { m_set.store(true); }
  bool IsSet() const { return m_set.load(); }

 private:
  std::atomic<bool> m_set{false};
};
