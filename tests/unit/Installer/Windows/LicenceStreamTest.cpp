#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Installer/Screens/EULADialog.h"

namespace {

TEST(LicenceStreamTest, DocumentArrivesWholeAndInOrderOverSeveralCalls) {
  std::string document;
  for (int i = 0; i < 2500; ++i) document += "line " + std::to_string(i) + "\r\n";
  const std::string original = document;
  const LONG chunk = 4096;
  std::string received;
  std::vector<LONG> sizes;
  std::vector<BYTE> buffer(chunk);
  for (int calls = 0; calls < 1000; ++calls) {
    LONG delivered = -1;
    EXPECT_EQ(EULADialog::LicenceStreamCallback(reinterpret_cast<DWORD_PTR>(&document), buffer.data(), chunk,
                                                &delivered),
              0u);
    sizes.push_back(delivered);
    if (delivered == 0) break;
    received.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(delivered));
  }
  EXPECT_EQ(received, original);
  EXPECT_TRUE(document.empty());
  ASSERT_GE(sizes.size(), 3u);
  EXPECT_EQ(sizes.back(), 0);
  EXPECT_EQ(sizes[sizes.size() - 2], static_cast<LONG>(original.size() % chunk));
  for (size_t i = 0; i + 2 < sizes.size(); ++i) EXPECT_EQ(sizes[i], chunk);
}

TEST(LicenceStreamTest, EmptyDocumentDeliversNothing) {
  std::string document;
  BYTE buffer[16];
  LONG delivered = -1;
  EXPECT_EQ(EULADialog::LicenceStreamCallback(reinterpret_cast<DWORD_PTR>(&document), buffer, 16, &delivered), 0u);
  EXPECT_EQ(delivered, 0);
}

}  // namespace
