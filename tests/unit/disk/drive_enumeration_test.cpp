// Drive enumeration, the drive tree, the information panel and opening the selected drive.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "core/messages.h"
#include "disk/drive_enumeration.h"
#include "disk/drive_table.h"
#include "support/memory_disk.h"

namespace {

using disk::DriveDescriptor;
using disk::DriveGeometry;

// Drive numbers that answer, each with its descriptor and geometry; opening gives a memory disk
// whose first byte is the drive number.
class FakeProbe : public disk::DriveProbe
{
public:
    struct Drive
    {
        DriveDescriptor descriptor;
        std::optional<DriveGeometry> geometry;
        std::string openFailure;
    };
    std::map<unsigned, Drive> drives;
    std::vector<unsigned> opened;

    void Add(unsigned n, std::string product, std::uint32_t cylinders = 1024, std::uint32_t heads = 16,
             std::uint32_t spt = 63, bool usb = false)
    {
        drives[n] = {{std::move(product), usb}, DriveGeometry{cylinders, heads, spt, 0}, {}};
    }

    std::optional<DriveDescriptor> QueryDescriptor(unsigned n) override
    {
        auto it = drives.find(n);
        return it == drives.end() ? std::nullopt : std::optional(it->second.descriptor);
    }
    std::optional<DriveGeometry> QueryGeometry(unsigned n) override { return drives.at(n).geometry; }
    disk::OpenedDrive Open(unsigned n) override
    {
        opened.push_back(n);
        if (!drives.at(n).openFailure.empty()) {
            return {nullptr, drives.at(n).openFailure};
        }
        std::vector<std::uint8_t> bytes(512, 0);
        bytes[0] = static_cast<std::uint8_t>(n);
        return {std::make_unique<testing_support::MemoryDisk>(std::move(bytes)), {}};
    }
};

TEST(EnumerateDrives, ThreeDisksGiveThreeItemsInOrder)
{
    FakeProbe probe;
    probe.Add(0, "Disk A");
    probe.Add(1, "Disk B", 2000);
    probe.Add(2, "Disk C", 3000);
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrives(table, tree, probe);
    EXPECT_EQ(table.driveCount, 3);
    ASSERT_EQ(tree.items, (std::vector<std::string>{"Storage Device0", "Storage Device1", "Storage Device2"}));
    EXPECT_TRUE(tree.rootExpanded);
    EXPECT_EQ(tree.rootText, "My Computer");
    for (unsigned k = 0; k < 3; ++k) {
        const auto index = disk::SelectedDriveFromItem(tree.items[k]);
        ASSERT_TRUE(index);
        EXPECT_EQ(*index, k);
        EXPECT_EQ(table.slots[k].driveNumber, static_cast<int>(k));
    }
    EXPECT_EQ(table.slots[1].model, "Disk B");
    EXPECT_EQ(table.slots[2].cylinders, 3000u);

    disk::DiskState state;
    state.selectedDrive = 2;
    ASSERT_TRUE(disk::OpenSelectedDrive(state, table, probe).opened);
    std::vector<std::uint8_t> buf(512);
    EXPECT_EQ(disk::ReadSectors(state, 0, 1, buf), 1);
    EXPECT_EQ(buf[0], 2);
}

// An empty card-reader slot (a size-0 disk) in front of a disk: the disk after it is offered
// and opens, the empty slot keeps its text and is not offered.
TEST(EnumerateDrives, DriveWithoutMediaDoesNotHideTheDisksAfterIt)
{
    FakeProbe probe;
    probe.Add(0, "Disk A");
    probe.Add(1, "Card reader", 0, 0, 0);
    probe.Add(2, "Disk C");
    probe.Add(3, "Card reader 2", 0, 0, 0);
    probe.Add(4, "Disk E");
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrives(table, tree, probe);
    EXPECT_EQ(table.slotsUsed, 5);
    EXPECT_EQ(table.driveCount, 3);
    EXPECT_EQ(tree.items, (std::vector<std::string>{"Storage Device0", "Storage Device1", "Storage Device2"}));
    EXPECT_EQ(table.slots[1].model, "Disk C");
    EXPECT_EQ(table.slots[2].model, "Disk E");
    EXPECT_EQ(table.slots[3].model, core::msg::kMediaMissing);
    EXPECT_EQ(table.slots[3].sectorsPerTrack, 0u);
    EXPECT_EQ(table.slots[4].model, core::msg::kMediaMissing);

    disk::DiskState state;
    for (const auto& [item, drive] : {std::pair{1u, 2u}, std::pair{2u, 4u}}) {
        state.selectedDrive = static_cast<std::uint16_t>(item);
        ASSERT_TRUE(disk::OpenSelectedDrive(state, table, probe).opened) << item;
        EXPECT_EQ(probe.opened.back(), drive);
        std::vector<std::uint8_t> buf(512);
        EXPECT_EQ(disk::ReadSectors(state, 0, 1, buf), 1);
        EXPECT_EQ(buf[0], drive);
    }
}

TEST(EnumerateDrives, FailedGeometryQueryReadsAsNoMedia)
{
    FakeProbe probe;
    probe.Add(0, "Disk A");
    probe.drives[0].geometry.reset();
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrives(table, tree, probe);
    EXPECT_EQ(table.driveCount, 0);
    EXPECT_TRUE(tree.items.empty());
    EXPECT_EQ(table.slots[0].model, core::msg::kMediaMissing);
}

TEST(EnumerateDrives, UsbDiskShowsUsbDeviceWhateverItsProduct)
{
    FakeProbe probe;
    probe.Add(0, "SanDisk Ultra", 1024, 16, 63, true);
    probe.Add(1, "");
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrives(table, tree, probe);
    EXPECT_EQ(table.slots[0].model, "USB Device");
    EXPECT_EQ(table.slots[1].model, core::msg::kModelUnknown);
}

TEST(EnumerateDrives, GapInDriveNumbersStillReadsTheDriveShown)
{
    FakeProbe probe;
    probe.Add(0, "Disk A");
    probe.Add(2, "Disk C");
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrives(table, tree, probe);
    ASSERT_EQ(table.driveCount, 2);
    EXPECT_EQ(table.slots[1].model, "Disk C");
    disk::DiskState state;
    state.selectedDrive = 1;
    ASSERT_TRUE(disk::OpenSelectedDrive(state, table, probe).opened);
    EXPECT_EQ(probe.opened.back(), 2u);
}

TEST(EnumerateDrives, ProbesOnlyDriveNumbersBelowSixteen)
{
    FakeProbe probe;
    for (unsigned n = 0; n < 20; ++n) {
        probe.Add(n, "Disk");
    }
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrives(table, tree, probe);
    EXPECT_EQ(table.driveCount, 16);
}

TEST(EnumerateDrives, TotalSectorsWrapInThirtyTwoBits)
{
    FakeProbe probe;
    probe.Add(0, "Big", 300000, 255, 63);  // 4,819,500,000 sectors
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrives(table, tree, probe);
    EXPECT_EQ(table.slots[0].totalSectors, static_cast<std::uint32_t>(std::uint64_t{300000} * 255 * 63));
}

TEST(EnumerateDrives, KnownSizeGivesTheSectorCountNotTheCylinderProduct)
{
    // 53,248 sectors are 3.3 cylinders of 255 x 63: neither rounding of the cylinders gives the
    // drive's capacity, and rounding down would drop the end of the last partition.
    FakeProbe probe;
    probe.Add(0, "Image", 4, 255, 63);
    probe.drives[0].geometry->sizeBytes = 53248ULL * 512;
    probe.Add(1, "Huge", 400000, 255, 63);
    probe.drives[1].geometry->sizeBytes = 400000ULL * 16065 * 512;
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrives(table, tree, probe);
    EXPECT_EQ(table.slots[0].totalSectors, 53248u);
    EXPECT_EQ(disk::ShowDriveInfo(table, 0)->capacity, "26 MB ( Approx )");
    EXPECT_EQ(table.slots[1].totalSectors, 400000ULL * 16065);  // whole, never wrapped onto a small disk
    EXPECT_EQ(disk::ShowDriveInfo(table, 1)->capacity, "3137695 MB ( Approx )");
}

TEST(DriveInfo, PanelValuesOfSixteenHeadsSixtyThreeSectors)
{
    FakeProbe probe;
    probe.Add(0, "Old disk", 1024, 16, 63);
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrives(table, tree, probe);
    const auto info = disk::ShowDriveInfo(table, 0);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->model, "Old disk");
    EXPECT_EQ(info->capacity, "504 MB ( Approx )");
    EXPECT_EQ(info->cylinders, "1024");
    EXPECT_EQ(info->head, "16");
    EXPECT_EQ(info->sectorsPerTrack, "63");
    EXPECT_FALSE(disk::ShowDriveInfo(table, 32));
}

TEST(DriveItems, SelectedDriveFromItemText)
{
    EXPECT_EQ(disk::SelectedDriveFromItem("Storage Device0"), 0);
    EXPECT_EQ(disk::SelectedDriveFromItem("Storage Device13"), 13);
    EXPECT_FALSE(disk::SelectedDriveFromItem("My Computer"));
    EXPECT_FALSE(disk::SelectedDriveFromItem("Storage Device"));
    EXPECT_FALSE(disk::SelectedDriveFromItem("Storage Device1x"));
    EXPECT_FALSE(disk::SelectedDriveFromItem("Storage Device99999"));
    EXPECT_FALSE(disk::SelectedDriveFromItem("Storage Device-1"));
}

TEST(DrivePaths, TenPathsAndNoMore)
{
    EXPECT_EQ(disk::DrivePath(0), R"(\\.\PhysicalDrive0)");
    EXPECT_EQ(disk::DrivePath(9), R"(\\.\PhysicalDrive9)");
    EXPECT_FALSE(disk::DrivePath(10));
    for (auto p : disk::drivePaths) {
        EXPECT_LT(p.size(), 20u);  // fits a 20-byte zero-padded entry
    }
    EXPECT_EQ(disk::DriveNumberOfPath(R"(\\.\PhysicalDrive7)"), 7u);
    EXPECT_FALSE(disk::DriveNumberOfPath(R"(\\.\PhysicalDrive10)"));
}

TEST(OpenSelectedDrive, SlotTenAndAboveHaveNoPath)
{
    FakeProbe probe;
    for (unsigned n = 0; n < 12; ++n) {
        probe.Add(n, "Disk");
    }
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrives(table, tree, probe);
    disk::DiskState state;
    state.selectedDrive = 10;
    const auto outcome = disk::OpenSelectedDrive(state, table, probe);
    EXPECT_FALSE(outcome.opened);
    EXPECT_EQ(outcome.reason, core::msg::kNoDevicePath);
    EXPECT_TRUE(probe.opened.empty());
    EXPECT_FALSE(state.driveHandle);
}

TEST(OpenSelectedDrive, FailureIsReportedAndClosesThePreviousDrive)
{
    FakeProbe probe;
    probe.Add(0, "Disk A");
    probe.Add(1, "Disk B");
    probe.drives[1].openFailure = "Cannot open: Permission denied";
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrives(table, tree, probe);
    disk::DiskState state;
    ASSERT_TRUE(disk::OpenSelectedDrive(state, table, probe).opened);
    state.selectedDrive = 1;
    const auto outcome = disk::OpenSelectedDrive(state, table, probe);
    EXPECT_FALSE(outcome.opened);
    EXPECT_EQ(outcome.reason, "Cannot open: Permission denied");
    EXPECT_FALSE(state.driveHandle);  // no read can reach drive 0 by mistake
    state.selectedDrive = 2;
    EXPECT_EQ(disk::OpenSelectedDrive(state, table, probe).reason, core::msg::kNoSuchDrive);
}

// Mode F through fake library entry points.
std::uint16_t g_biosCount = 0;
void FakeFind(std::uint16_t* count) { *count = g_biosCount; }
std::int32_t FakeCheck(std::uint8_t drive) { return drive == 0x81 ? 0 : 1; }
void FakeGeometry(std::uint8_t drive, std::uint32_t* c, std::uint32_t* h, std::uint32_t* s)
{
    *c = 1024u * (drive - 0x7Fu);
    *h = 16;
    *s = 63;
}

TEST(EnumerateDrivesBios, FillsEverySlotFromTheLibraries)
{
    disk::BiosLibraries bios;
    bios.find_hard_disk32 = FakeFind;
    bios.CheckInt13Extension32 = FakeCheck;
    bios.get_drive_geometry32 = FakeGeometry;
    g_biosCount = 2;
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrivesBios(table, tree, bios);
    EXPECT_EQ(table.driveCount, 2);
    EXPECT_EQ(tree.items.size(), 2u);
    EXPECT_EQ(table.slots[0].model, "Unknown");
    EXPECT_EQ(table.slots[0].totalSectors, 1024u * 16 * 63);
    EXPECT_EQ(table.slots[1].cylinders, 2048u);
    EXPECT_EQ(table.slots[0].hasInt13Extensions, 1);
    EXPECT_EQ(table.slots[1].hasInt13Extensions, 0);
    EXPECT_EQ(bios.hasInt13Extensions[1], 0);
    EXPECT_EQ(bios.hasInt13Extensions[0], 1);
}

TEST(EnumerateDrivesBios, NeverMoreThanThirtyTwoSlots)
{
    disk::BiosLibraries bios;
    bios.find_hard_disk32 = FakeFind;
    bios.CheckInt13Extension32 = FakeCheck;
    bios.get_drive_geometry32 = FakeGeometry;
    g_biosCount = 200;
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrivesBios(table, tree, bios);
    EXPECT_EQ(table.driveCount, 32);
    EXPECT_EQ(tree.items.size(), 32u);
}

}  // namespace
