#pragma once
#include <cstddef>
#include <cstdint>

// The traditional PKWARE stream cipher of encrypted zip entries, keyed with
// the empty password: the reader is never given one.
class ZipDecryption {
 public:
  ZipDecryption();
  void Decrypt(unsigned char* data, std::size_t size);

 private:
  void UpdateKeys(unsigned char plain);
  std::uint32_t m_keys[3];
};
