#include "Common/Drives/UsbDrives.h"

#include <gtest/gtest.h>

#include "Support/FakeDriveInfoSource.h"

namespace {

using FakeSystem = KorvaneTest::FakeDriveInfoSource;
using KorvaneTest::LogicalQuery;
using KorvaneTest::PartitionQuery;

const std::wstring kUsbPnp = L"USBSTOR\\DISK&VEN_X&PROD_Y\\0123456789&0";

TEST(UsbDrives, UsbDiskWithOnePartitionGivesItsLetterAndInstanceId) {
  FakeSystem system;
  system.AddDisk(kUsbPnp, L"\\\\.\\PHYSICALDRIVE1", {{L"Disk #1, Partition #0", {L"E:"}}});
  const UsbDriveMap drives = GetUsbDrives(system);
  ASSERT_EQ(drives.size(), 1u);
  EXPECT_EQ(drives.at(L'E'), L"0123456789&0");
  // Ids go into the object paths exactly as WMI gave them.
  EXPECT_EQ(system.queries[2], PartitionQuery(L"\\\\.\\PHYSICALDRIVE1"));
  EXPECT_EQ(system.queries[3], LogicalQuery(L"Disk #1, Partition #0"));
  EXPECT_EQ(system.connections, 1);
}

TEST(UsbDrives, OnlyTheThreeStoragePrefixesAtTheStartCount) {
  FakeSystem system;
  system.AddDisk(L"UASPStor\\A\\1", L"D1", {{L"P1", {L"F:"}}});
  system.AddDisk(L"SCSI\\DISK\\2", L"D2", {{L"P2", {L"G:"}}});
  system.AddDisk(L"usbstor\\DISK\\3", L"D3", {{L"P3", {L"H:"}}});
  system.AddDisk(L"IDE\\USBSTOR\\4", L"D4", {{L"P4", {L"I:"}}});
  const UsbDriveMap drives = GetUsbDrives(system);
  EXPECT_EQ(drives, (UsbDriveMap{{L'F', L"1"}, {L'G', L"2"}}));
  // Disks that fail the test are still walked.
  EXPECT_EQ(system.queries.size(), 2u + 4u + 4u);
}

TEST(UsbDrives, TwoLetteredPartitionsGiveTwoEntriesAndUnletteredNone) {
  FakeSystem system;
  system.AddDisk(kUsbPnp, L"D1", {{L"P1", {L"E:"}}, {L"P2", {L"G:"}}, {L"P3", {}}});
  system.AddDisk(L"USBSTOR\\X\\no-partitions", L"D2", {});
  EXPECT_EQ(GetUsbDrives(system), (UsbDriveMap{{L'E', L"0123456789&0"}, {L'G', L"0123456789&0"}}));
}

TEST(UsbDrives, LettersComeOutAscendingAndLaterDisksReplaceEarlier) {
  FakeSystem system;
  system.AddDisk(L"USBSTOR\\A\\first", L"D1", {{L"P1", {L"G:"}}});
  system.AddDisk(L"USBSTOR\\A\\second", L"D2", {{L"P2", {L"E:"}}});
  system.AddDisk(L"USBSTOR\\A\\third", L"D3", {{L"P3", {L"G:"}}});
  const UsbDriveMap drives = GetUsbDrives(system);
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives.begin()->first, L'E');
  EXPECT_EQ(drives.at(L'G'), L"third");
}

TEST(UsbDrives, PnpIdWithoutBackslashIsTheWholeInstanceId) {
  FakeSystem system;
  system.AddDisk(L"SCSIDISK0", L"D1", {{L"P1", {L"E:"}}});
  EXPECT_EQ(GetUsbDrives(system).at(L'E'), L"SCSIDISK0");
}

TEST(UsbDrives, MissingPnpStringShiftsThePairingAndDropsTheLastDisk) {
  FakeSystem system;
  system.AddDisk(std::nullopt, L"D1", {{L"P1", {L"E:"}}});
  system.AddDisk(L"IDE\\Disk\\2", L"D2", {{L"P2", {L"F:"}}});
  system.AddDisk(L"USBSTOR\\Disk\\3", L"D3", {{L"P3", {L"G:"}}});
  // D1 is judged by D2's id, D2 by D3's, D3 has no entry left.
  EXPECT_EQ(GetUsbDrives(system), (UsbDriveMap{{L'F', L"3"}}));
}

TEST(UsbDrives, NoConnectionGivesNoDrivesAndEmptyDescription) {
  FakeSystem system;
  system.reachable = false;
  system.AddDisk(kUsbPnp, L"D1", {{L"P1", {L"E:"}}});
  EXPECT_TRUE(GetUsbDrives(system).empty());
  EXPECT_EQ(DescribeDrive(system, L'E'), L"");
  EXPECT_TRUE(system.queries.empty());
}

TEST(DescribeDrive, LabelWinsWithoutAnyQuery) {
  FakeSystem system;
  system.labels[L"E:\\"] = L"KORVANE USB";
  EXPECT_EQ(DescribeDrive(system, L'E'), L"KORVANE USB");
  EXPECT_EQ(system.connections, 0);
}

TEST(DescribeDrive, UnlabelledDriveTakesTheFirstWmiDescription) {
  FakeSystem system;
  const std::wstring query = L"SELECT * FROM Win32_LogicalDisk WHERE Name = 'E:'";
  system.results[query] = {{{L"Description", L"Removable Disk"}}, {{L"Description", L"Other"}}};
  EXPECT_EQ(DescribeDrive(system, L'E'), L"Removable Disk");
  EXPECT_EQ(DescribeDrive(system, L'F'), L"");
  EXPECT_EQ(system.queries.back(), L"SELECT * FROM Win32_LogicalDisk WHERE Name = 'F:'");
}

}  // namespace
