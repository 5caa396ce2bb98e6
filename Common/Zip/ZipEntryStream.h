#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <zlib.h>

#include "Common/Zip/ZipDecryption.h"
#include "Common/Zip/ZipRecords.h"

enum class ZipStreamStatus {
  Ok,
  BadPassword,  // the check byte of an encrypted entry does not match
  Failed,       // short data, damaged deflate data, or a CRC-32 mismatch
};

struct ZipStreamRead {
  ZipStreamStatus status = ZipStreamStatus::Failed;
  std::size_t produced = 0;
  bool ended = false;
};

// The read state of one entry's data: 16 KiB of compressed input at a
// time, inflated or copied, decrypted when the entry is encrypted, and
// checked against the central record's CRC-32 when the entry ends.
class ZipEntryStream {
 public:
  // Null when memory or the inflate stream cannot be had.
  static std::unique_ptr<ZipEntryStream> Create(Platform::ReadableFile& file,
                                                const ZipRecords::CentralRecord& central,
                                                std::uint64_t dataPosition);
  ~ZipEntryStream();
  ZipEntryStream(const ZipEntryStream&) = delete;
  ZipEntryStream& operator=(const ZipEntryStream&) = delete;

  ZipStreamRead Read(unsigned char* buffer, std::size_t capacity);

 private:
  ZipEntryStream(Platform::ReadableFile& file, const ZipRecords::CentralRecord& central,
                 std::uint64_t dataPosition);
  bool FillInput();
  ZipStreamStatus SkipEncryptionHeader();
  ZipStreamStatus Produce(unsigned char* out, std::size_t space, std::size_t& produced, bool& ended);
  ZipStreamStatus Finish(bool streamEnded);

  Platform::ReadableFile& m_file;
  std::vector<unsigned char> m_input;
  z_stream m_zlib{};
  bool m_inflating = false;
  std::uint16_t m_method;
  std::uint32_t m_expectedCrc;
  std::uint32_t m_crc = 0;
  std::uint64_t m_remainingCompressed;
  std::uint64_t m_remainingUncompressed;
  std::uint64_t m_position;
  std::optional<ZipDecryption> m_decryption;
  int m_headerToSkip = 0;
  unsigned char m_checkByte = 0;
  std::optional<ZipStreamStatus> m_outcome;  // set once the entry ended or failed
};
