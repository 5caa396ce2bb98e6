#include "Common/Zip/ZipDecryption.h"

#include <zlib.h>

namespace {

std::uint32_t CrcStep(std::uint32_t crc, unsigned char byte) {
  static const z_crc_t* const table = get_crc_table();
  return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

}  // namespace

ZipDecryption::ZipDecryption() : m_keys{0x12345678u, 0x23456789u, 0x34567890u} {}

void ZipDecryption::UpdateKeys(unsigned char plain) {
  m_keys[0] = CrcStep(m_keys[0], plain);
  m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFF)) * 134775813u + 1;
  m_keys[2] = CrcStep(m_keys[2], static_cast<unsigned char>(m_keys[1] >> 24));
}

void ZipDecryption::Decrypt(unsigned char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint32_t temp = (m_keys[2] | 2) & 0xFFFF;
    const auto mask = static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
    data[i] = static_cast<unsigned char>(data[i] ^ mask);
    UpdateKeys(data[i]);
  }
}
