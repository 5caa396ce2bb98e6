#include "Common/Zip/ZipEntryStream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "Common/Zip/ZipBufferSize.h"

namespace {

constexpr int kEncryptionHeaderSize = 12;

}  // namespace

std::unique_ptr<ZipEntryStream> ZipEntryStream::Create(Platform::ReadableFile& file,
                                                       const ZipRecords::CentralRecord& central,
                                                       std::uint64_t dataPosition) {
  std::unique_ptr<ZipEntryStream> stream;
  try {
    stream.reset(new ZipEntryStream(file, central, dataPosition));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (stream->m_method == ZipRecords::kMethodDeflated) {
    if (inflateInit2(&stream->m_zlib, -15) != Z_OK) return nullptr;
    stream->m_inflating = true;
  }
  return stream;
}

ZipEntryStream::ZipEntryStream(Platform::ReadableFile& file, const ZipRecords::CentralRecord& central,
                               std::uint64_t dataPosition)
    : m_file(file),
      m_input(kZipBufferSize),
      m_method(central.method),
      m_expectedCrc(central.crc),
      m_remainingCompressed(central.compressedSize),
      m_remainingUncompressed(central.uncompressedSize),
      m_position(dataPosition) {
  if (central.flags & ZipRecords::kFlagEncrypted) {
    m_decryption.emplace();
    m_headerToSkip = kEncryptionHeaderSize;
    m_checkByte = (central.flags & ZipRecords::kFlagDataDescriptor)
                      ? static_cast<unsigned char>(central.dosTime >> 8)
                      : static_cast<unsigned char>(central.crc >> 24);
  }
}

ZipEntryStream::~ZipEntryStream() {
  if (m_inflating) inflateEnd(&m_zlib);
}

ZipStreamRead ZipEntryStream::Read(unsigned char* buffer, std::size_t capacity) {
  ZipStreamRead result;
  if (m_outcome) {
    result.status = *m_outcome;
    result.ended = *m_outcome == ZipStreamStatus::Ok;
    return result;
  }
  result.status = ZipStreamStatus::Ok;
  if (capacity == 0) return result;
  const auto space = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, m_remainingUncompressed));
  if (space == 0) {
    result.status = Finish(false);
    result.ended = result.status == ZipStreamStatus::Ok;
    return result;
  }
  result.status = Produce(buffer, space, result.produced, result.ended);
  if (result.status != ZipStreamStatus::Ok) {
    m_outcome = result.status;
    result.produced = 0;
    result.ended = false;
  }
  return result;
}

bool ZipEntryStream::FillInput() {
  const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kZipBufferSize, m_remainingCompressed));
  if (m_file.ReadAt(m_position, m_input.data(), wanted) != static_cast<std::int64_t>(wanted)) return false;
  m_position += wanted;
  m_remainingCompressed -= wanted;
  if (m_decryption) m_decryption->Decrypt(m_input.data(), wanted);
  m_zlib.next_in = m_input.data();
  m_zlib.avail_in = static_cast<uInt>(wanted);
  return true;
}

ZipStreamStatus ZipEntryStream::SkipEncryptionHeader() {
  while (m_headerToSkip > 0 && m_zlib.avail_in > 0) {
    const unsigned char byte = *m_zlib.next_in++;
    --m_zlib.avail_in;
    if (--m_headerToSkip == 0 && byte != m_checkByte) return ZipStreamStatus::BadPassword;
  }
  return ZipStreamStatus::Ok;
}

// Each round reads input, consumes it or produces output, or fails, so the
// loop ends even on data that runs out early.
ZipStreamStatus ZipEntryStream::Produce(unsigned char* out, std::size_t space, std::size_t& produced,
                                        bool& ended) {
  bool streamEnded = false;
  while (produced < space) {
    if (m_zlib.avail_in == 0 && m_remainingCompressed > 0 && !FillInput()) return ZipStreamStatus::Failed;
    if (m_headerToSkip > 0) {
      if (m_zlib.avail_in == 0) return ZipStreamStatus::Failed;
      const ZipStreamStatus skipped = SkipEncryptionHeader();
      if (skipped != ZipStreamStatus::Ok) return skipped;
      if (m_zlib.avail_in == 0) continue;
    }
    std::size_t made = 0;
    if (m_method == ZipRecords::kMethodStored) {
      if (m_zlib.avail_in == 0) return ZipStreamStatus::Failed;
      made = std::min<std::size_t>(m_zlib.avail_in, space - produced);
      std::memcpy(out + produced, m_zlib.next_in, made);
      m_zlib.next_in += made;
      m_zlib.avail_in -= static_cast<uInt>(made);
    } else {
      m_zlib.next_out = out + produced;
      m_zlib.avail_out = static_cast<uInt>(space - produced);
      const int status = inflate(&m_zlib, Z_NO_FLUSH);
      made = (space - produced) - m_zlib.avail_out;
      if (status == Z_STREAM_END) {
        streamEnded = true;
      } else if (status != Z_OK) {
        return ZipStreamStatus::Failed;
      }
    }
    m_crc = static_cast<std::uint32_t>(crc32(m_crc, out + produced, static_cast<uInt>(made)));
    m_remainingUncompressed -= made;
    produced += made;
    if (streamEnded || m_remainingUncompressed == 0) break;
  }
  if (!streamEnded && m_remainingUncompressed > 0) return ZipStreamStatus::Ok;
  ended = true;
  return Finish(streamEnded);
}

// A stream that ends before the promised size, or data whose CRC-32 is not
// the central record's, fails the entry: the package came over the network.
ZipStreamStatus ZipEntryStream::Finish(bool streamEnded) {
  const bool complete = !streamEnded || m_remainingUncompressed == 0;
  m_outcome = (complete && m_crc == m_expectedCrc) ? ZipStreamStatus::Ok : ZipStreamStatus::Failed;
  return *m_outcome;
}
