#include "FakeHttpClient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Platform/Text/TextConversion.h"

namespace KorvaneTest {

void FakeHttpClient::Check(Platform::HttpHandle handle) const {
  EXPECT_TRUE(m_open.count(handle)) << "call on a handle that is not open";
}

bool FakeHttpClient::SendRequest(Platform::HttpHandle request) {
  Check(request);
  m_request.index = sends++;
  rangeHeaders.push_back(m_request.header);
  ifRanges.push_back(m_request.ifRange);
  if (const std::uint32_t code = sendFails(m_request.index)) return Fail(code);
  m_request.next = 0;
  m_request.end = m_packageSize;
  unsigned long long first = 0, last = 0;
  const std::string header = Platform::Utf16ToUtf8(m_request.header);
  // A package changed since the validator was taken is answered whole.
  const bool changed = !m_request.ifRange.empty() && m_request.ifRange != L"If-Range: " + etag;
  if (!rangeIgnored && !changed && std::sscanf(header.c_str(), "Range: bytes=%llu-%llu", &first, &last) == 2) {
    m_request.next = first;
    m_request.end = std::min<unsigned long long>(last + 1, m_packageSize);
  }
  return true;
}

bool FakeHttpClient::QueryDataAvailable(Platform::HttpHandle request, std::uint32_t& available) {
  Check(request);
  if (TimesOut() && m_request.delivered >= timeoutAfterBytes) {
    if (cutEndsBody) {
      available = 0;
      return true;
    }
    onTimeout();
    return Fail(timeoutCode);
  }
  std::uint64_t left = m_request.end - m_request.next;
  if (TimesOut()) {
    left = std::min<std::uint64_t>(left, timeoutAfterBytes - m_request.delivered);
  }
  available = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, pieceSize));
  return true;
}

bool FakeHttpClient::ReadData(Platform::HttpHandle request, void* buffer, std::uint32_t size,
                              std::uint32_t& read) {
  Check(request);
  const std::uint64_t left = m_request.end - m_request.next;
  read = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, size));
  char* out = static_cast<char*>(buffer);
  for (std::uint32_t i = 0; i < read; ++i) out[i] = PackageByte(m_request.next + i);
  m_request.next += read;
  m_request.delivered += read;
  if (size > 0) afterRead(++reads);
  return true;
}

}  // namespace KorvaneTest
