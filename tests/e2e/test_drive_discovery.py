"""The real drive discovery under Wine: COM's WMI locator (answered by the
fixture provider), the real queries, and real volume labels of Wine drives."""
from conftest import BUILD_DIR

PROBE = BUILD_DIR / "tests" / "probes" / "DriveDiscoveryProbe.exe"


def probe(machine, *letters):
    result = machine.run(PROBE, *letters)
    assert result.exit_code == 0, result.stderr
    return result.stdout.replace("\r\n", "\n").splitlines()


def test_usb_drives_are_found_in_letter_order_with_labels_or_wmi_descriptions(machine):
    machine.add_drive("G", label="BACKUP")
    machine.add_drive("E")
    machine.set_disks(
        ("USB", "USBSTOR\\DISK&VEN_A&PROD_B\\SERIAL-G", "\\\\.\\PHYSICALDRIVE2",
         {"Disk #2, Partition #0": [("G:", "Removable Disk")]}),
        ("IDE", "IDE\\DISKWINE\\1", "\\\\.\\PHYSICALDRIVE0",
         {"Disk #0, Partition #0": [("C:", "Local Fixed Disk")]}),
        ("SCSI", "UASPStor\\DISK\\SERIAL-E", "\\\\.\\PHYSICALDRIVE1",
         {"Disk #1, Partition #0": [("E:", "Removable Disk")]}),
    )
    lines = probe(machine, "E", "G", "Q")
    assert lines == [
        "usb E SERIAL-E",
        "usb G SERIAL-G",
        "describe E Removable Disk",
        "describe G BACKUP",
        "describe Q ",
    ]
    queries = machine.wmi_queries()
    assert not [q for q in queries if q.startswith("unrecognised")], queries
    assert "blanket set" in queries
    # Two drive queries, one partition query per disk, one logical-disk query
    # per partition, and WMI asked only for the unlabelled drives.
    kinds = [q.split(" ", 1)[1] for q in queries if q.startswith("query ")]
    assert sum(k.startswith("SELECT * FROM Win32_DiskDrive") for k in kinds) == 2
    assert sum("Win32_DiskDriveToDiskPartition" in k for k in kinds) == 2
    assert kinds.count("SELECT * FROM Win32_LogicalDisk WHERE Name = 'E:'") == 1
    assert kinds.count("SELECT * FROM Win32_LogicalDisk WHERE Name = 'Q:'") == 1
    assert not any("Name = 'G:'" in k for k in kinds)


def test_no_usb_disk_means_no_drives(machine):
    machine.set_disks(("IDE", "IDE\\DISKWINE\\1", "\\\\.\\PHYSICALDRIVE0",
                       {"Disk #0, Partition #0": [("C:", "Local Fixed Disk")]}))
    assert probe(machine) == []
