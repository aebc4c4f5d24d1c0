#include "drive_backends/linux_driver.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

#include "inventory/drive_inventory.h"
#include "inventory/smart_channel.h"
#include "capture/synthetic_capture.h"

namespace {

// One disk as the kernel would present it behind /dev.
struct FakeDisk {
    enum Kind { kAta, kPacket, kNotAta } kind = kAta;
    int openErrno = 0;  // non-zero: open fails with it
    int sgIoErrno = 0;  // non-zero: SG_IO fails with it
    DriveCapture data;
};

struct SentCommand {
    std::string path;
    std::vector<uint8_t> cdb;
    int direction;
    unsigned length;
};

// A machine of fake disks with a record of every SG_IO the backend made.
class FakeMachine {
  public:
    std::vector<std::string> names;
    std::map<std::string, FakeDisk> disks;  // by /dev path
    std::vector<SentCommand> sent;
    std::vector<std::string> notices;
    std::map<int, std::string> open;
    int nextFd = 10;

    void Add(const std::string& name, const FakeDisk& disk) {
        names.push_back(name);
        disks["/dev/" + name] = disk;
    }

    LinuxSystem System() {
        LinuxSystem system;
        system.listDeviceNames = [this] { return names; };
        system.openDevice = [this](const std::string& path) {
            auto disk = disks.find(path);
            if (disk == disks.end()) {
                errno = ENOENT;
                return -1;
            }
            if (disk->second.openErrno) {
                errno = disk->second.openErrno;
                return -1;
            }
            open[nextFd] = path;
            return nextFd++;
        };
        system.sgIo = [this](int fd, sg_io_hdr_t* io) { return SgIo(fd, io); };
        system.closeDevice = [this](int fd) { return open.erase(fd) == 1 ? 0 : -1; };
        system.notice = [this](const std::string& message) { notices.push_back(message); };
        return system;
    }

  private:
    static void Sense(sg_io_hdr_t* io, const std::vector<uint8_t>& sense) {
        const size_t length = std::min<size_t>(sense.size(), io->mx_sb_len);
        std::memcpy(io->sbp, sense.data(), length);
        io->sb_len_wr = static_cast<unsigned char>(length);
        io->status = 0x02;
        io->driver_status = 0x08;
    }

    static void AtaAnswer(sg_io_hdr_t* io, uint8_t error, uint8_t status) {
        const uint8_t key = error ? 0x0B : 0x01;
        const uint8_t ascq = error ? 0x00 : 0x1D;
        Sense(io, {0x72,  key, 0x00, ascq, 0, 0, 0,    14, 0x09, 0x0C, 0,
                   error, 0,   1,    0,    1, 0, 0x4F, 0,  0xC2, 0xA0, status});
    }

    int SgIo(int fd, sg_io_hdr_t* io) {
        auto path = open.find(fd);
        if (path == open.end()) {
            errno = EBADF;
            return -1;
        }
        const uint8_t* cdb = io->cmdp;
        sent.push_back(SentCommand{path->second, std::vector<uint8_t>(cdb, cdb + io->cmd_len),
                                   io->dxfer_direction, io->dxfer_len});
        const FakeDisk& disk = disks[path->second];
        if (disk.sgIoErrno) {
            errno = disk.sgIoErrno;
            return -1;
        }
        io->resid = 0;
        if (disk.kind == FakeDisk::kNotAta) {
            // ILLEGAL REQUEST, INVALID COMMAND OPERATION CODE.
            Sense(io, {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0x00});
            return 0;
        }
        const uint8_t command = cdb[14];
        const uint8_t feature = cdb[4];
        const uint8_t* block = nullptr;
        if (command == 0xEC && disk.kind == FakeDisk::kAta) {
            block = disk.data.identify;
        } else if (command == 0xA1 && disk.kind == FakeDisk::kPacket) {
            block = disk.data.identify;
        } else if (command == 0xB0 && disk.kind == FakeDisk::kAta && feature == 0xD0) {
            block = disk.data.smartData;
        } else if (command == 0xB0 && disk.kind == FakeDisk::kAta && feature == 0xD1) {
            block = disk.data.thresholds;
        } else if (!(command == 0xB0 && disk.kind == FakeDisk::kAta && feature == 0xD8)) {
            io->resid = static_cast<int>(io->dxfer_len);
            AtaAnswer(io, 0x04, 0x51);  // ABRT
            return 0;
        }
        if (block && io->dxfer_len == 512) {
            std::memcpy(io->dxferp, block, 512);
        }
        // With CK_COND the registers come back as sense; without, GOOD.
        if (cdb[2] & 0x20) {
            AtaAnswer(io, 0, 0x50);
        } else {
            io->status = 0;
            io->sb_len_wr = 0;
            io->driver_status = 0;
        }
        return 0;
    }
};

FakeDisk Ata(const std::string& model, const std::string& serial) {
    FakeDisk disk;
    disk.data = MakeCapture(model, serial, "FW-" + model.substr(0, 2));
    SetAttribute(&disk.data, 0, 9, 97, 97, 4242, 0);
    SetAttribute(&disk.data, 1, 5, 100, 100, 0, 36);
    return disk;
}

SmartCommandRecord Record(uint8_t command, uint8_t feature, int position) {
    SmartCommandRecord record;
    std::memset(&record, 0, sizeof record);
    record.cBufferSize = 512;
    record.irDriveRegs.bFeaturesReg = feature;
    record.irDriveRegs.bSectorCountReg = 1;
    record.irDriveRegs.bSectorNumberReg = 1;
    record.irDriveRegs.bCylLowReg = 0x4F;
    record.irDriveRegs.bCylHighReg = 0xC2;
    record.irDriveRegs.bDriveHeadReg = static_cast<uint8_t>(0xA0 | ((position & 1) << 4));
    record.irDriveRegs.bCommandReg = command;
    record.bDriveNumber = static_cast<uint8_t>(position);
    return record;
}

DeviceHandle OpenDrive(LinuxDriver& driver, int position) {
    const std::string name = "\\\\.\\PhysicalDrive" + std::to_string(position);
    return driver.Open(name.c_str(), kGenericRead | kGenericWrite, kFileShareRead | kFileShareWrite,
                       kOpenExisting);
}

std::string Model(const DriveInventory& inventory, int position) {
    char buffer[64];
    uint32_t length = sizeof buffer;
    const char* name = inventory.GetModelName(buffer, &length, position, true);
    return name ? name : "(none)";
}

TEST(LinuxDiskSelectionTest, WholeDisksInKernelOrderAtMostFour) {
    const std::vector<std::string> names = {"sdb", "sda1", "sda", "sdc2",  "nvme0n1",
                                            "vda", "sg0",  "sr0", "sdc",   "tty1",
                                            "sd",  "sdB",  ".",   "loop0", "hdc"};
    const std::vector<std::string> expected = {"hdc", "sda", "sdb", "sdc"};
    EXPECT_EQ(expected, SelectWholeDisks(names));
    const std::vector<std::string> many = {"sdaa", "sdz", "sdab", "sdy"};
    const std::vector<std::string> manyExpected = {"sdy", "sdz", "sdaa", "sdab"};
    EXPECT_EQ(manyExpected, SelectWholeDisks(many));
    EXPECT_TRUE(SelectWholeDisks({"nvme0n1", "vda", "mmcblk0"}).empty());
}

TEST(LinuxCapabilityTest, ReadsRawIoFromTheEffectiveSet) {
    bool known = false;
    EXPECT_TRUE(HasRawIoCapability("Name:\tx\nCapInh:\t0\nCapEff:\t000001ffffffffff\n", &known));
    EXPECT_TRUE(known);
    // Everything but bit 17.
    EXPECT_FALSE(
        HasRawIoCapability("CapPrm:\t000001ffffffffff\nCapEff:\t000001fffffdffff\n", &known));
    EXPECT_TRUE(known);
    EXPECT_TRUE(HasRawIoCapability("CapEff:\t0000000000020000\n", &known));
    EXPECT_FALSE(HasRawIoCapability("CapEff:\t0000000000000000\n", &known));
    EXPECT_TRUE(known);
    EXPECT_FALSE(HasRawIoCapability("Name:\tx\n", &known));
    EXPECT_FALSE(known);
    EXPECT_FALSE(HasRawIoCapability("CapEff:\tzz\n", &known));
    EXPECT_FALSE(known);
}

TEST(LinuxDriverTest, AnswersAsTheNtFamily) {
    FakeMachine machine;
    LinuxDriver driver(machine.System());
    EXPECT_EQ(2u, driver.PlatformId());
}

TEST(LinuxDriverTest, PhysicalDrivesAreTheWholeDisksInOrder) {
    FakeMachine machine;
    machine.Add("sdb", Ata("BRAVO", "S2"));
    machine.Add("sda", Ata("ALPHA", "S1"));
    machine.Add("sda1", FakeDisk());
    LinuxDriver driver(machine.System());
    DeviceHandle first = OpenDrive(driver, 0);
    DeviceHandle second = OpenDrive(driver, 1);
    ASSERT_NE(VANTREL_INVALID_DEVICE, first);
    ASSERT_NE(VANTREL_INVALID_DEVICE, second);
    EXPECT_EQ(VANTREL_INVALID_DEVICE, OpenDrive(driver, 2));
    EXPECT_EQ(VANTREL_INVALID_DEVICE, driver.Open("\\\\.\\SMARTVSD", 0, 0, kCreateNew));
    EXPECT_EQ(VANTREL_INVALID_DEVICE,
              driver.Open("\\\\.\\PhysicalDrive4", kGenericRead | kGenericWrite, 0, kOpenExisting));
    ASSERT_EQ(2u, machine.open.size());
    EXPECT_EQ("/dev/sda", machine.open.begin()->second);
    EXPECT_EQ("/dev/sdb", machine.open.rbegin()->second);
    EXPECT_NE(0, driver.Close(first));
    EXPECT_NE(0, driver.Close(second));
    EXPECT_EQ(0, driver.Close(second));
    EXPECT_TRUE(machine.open.empty());
    EXPECT_TRUE(machine.notices.empty());
}

TEST(LinuxDriverTest, VersionMapsAtaPacketAndOtherDisks) {
    FakeMachine machine;
    machine.Add("sda", Ata("ALPHA", "S1"));
    FakeDisk packet = Ata("PACKET", "P1");
    packet.kind = FakeDisk::kPacket;
    machine.Add("sdb", packet);
    FakeDisk usb;
    usb.kind = FakeDisk::kNotAta;
    machine.Add("sdc", usb);
    LinuxDriver driver(machine.System());
    uint8_t expectedMap[] = {0x01, 0x11};
    for (int position = 0; position < 2; ++position) {
        DeviceHandle handle = OpenDrive(driver, position);
        SmartVersion version;
        std::memset(&version, 0xEE, sizeof version);
        uint32_t returned = 0;
        ASSERT_NE(0, driver.IoControl(handle, kSmartGetVersion, nullptr, 0, &version,
                                      sizeof version, &returned));
        EXPECT_EQ(24u, returned);
        EXPECT_EQ(expectedMap[position], version.bIDEDeviceMap);
        driver.Close(handle);
    }
    // A disk without ATA commands does not open, and is closed again.
    EXPECT_EQ(VANTREL_INVALID_DEVICE, OpenDrive(driver, 2));
    EXPECT_TRUE(machine.open.empty());
    EXPECT_TRUE(machine.notices.empty()) << "a disk without ATA is skipped without a word";
}

TEST(LinuxDriverTest, ScanReadsIdentityAndAttributesThroughPassThrough) {
    FakeMachine machine;
    machine.Add("sda", Ata("SAME MODEL", "SER-A"));
    FakeDisk usb;
    usb.kind = FakeDisk::kNotAta;
    machine.Add("sdb", usb);
    machine.Add("sdc", Ata("SAME MODEL", "SER-C"));
    machine.Add("sdd", Ata("OTHER", "SER-D"));
    machine.Add("sde", Ata("FIFTH", "SER-E"));
    LinuxDriver driver(machine.System());
    DriveInventory inventory;
    inventory.ScanDrives(driver);

    // The disk that answers no IDENTIFY is an empty position, not a drive;
    // the disks after it keep their positions.
    EXPECT_EQ(3, inventory.GetDriveCount());
    EXPECT_EQ("SAME MODEL-1", Model(inventory, 0));
    EXPECT_EQ("(none)", Model(inventory, 1));
    EXPECT_EQ(0u, inventory.entries[1].Found);
    EXPECT_EQ(-1, inventory.entries[1].DriveNumber);
    EXPECT_EQ("SAME MODEL-2", Model(inventory, 2));
    EXPECT_EQ("OTHER", Model(inventory, 3));
    char serial[32];
    uint32_t length = sizeof serial;
    ASSERT_NE(nullptr, inventory.GetSerialNumber(serial, &length, 2));
    EXPECT_STREQ("SER-C", serial);
    for (int position : {0, 2, 3}) {
        EXPECT_EQ(1u, inventory.entries[position].SmartEnabled) << position;
        ASSERT_EQ(2, inventory.GetAttributeCount(position)) << position;
        AttributeRecord record;
        ASSERT_TRUE(inventory.GetAttribute(position, 0, &record));
        EXPECT_EQ(9, record.Attribute[0]);
        EXPECT_EQ(97, record.Attribute[3]);
        ASSERT_TRUE(inventory.GetAttribute(position, 1, &record));
        EXPECT_EQ(36, record.Threshold[1]);
    }
    EXPECT_TRUE(machine.open.empty()) << "every disk is closed again";

    // Nothing but the five commands went out, reading or sending no data.
    ASSERT_FALSE(machine.sent.empty());
    for (const SentCommand& sent : machine.sent) {
        ASSERT_EQ(16u, sent.cdb.size());
        EXPECT_EQ(0x85, sent.cdb[0]);
        const uint8_t command = sent.cdb[14];
        const uint8_t feature = sent.cdb[4];
        const bool enable = command == 0xB0 && feature == 0xD8;
        const bool read = command == 0xEC || command == 0xA1 ||
                          (command == 0xB0 && (feature == 0xD0 || feature == 0xD1));
        EXPECT_TRUE(enable || read) << sent.path << " command " << int(command);
        if (command == 0xB0) {
            EXPECT_EQ(0x4F, sent.cdb[10]);
            EXPECT_EQ(0xC2, sent.cdb[12]);
        }
        EXPECT_EQ(enable ? SG_DXFER_NONE : SG_DXFER_FROM_DEV, sent.direction);
        EXPECT_EQ(enable ? 0u : 512u, sent.length);
        EXPECT_NE("/dev/sde", sent.path) << "only four positions";
    }
}

TEST(LinuxDriverTest, RepliesCarryTheBlockAtOffsetSixteen) {
    FakeMachine machine;
    FakeDisk disk = Ata("ALPHA", "S1");
    disk.data.smartData[200] = 0x5A;
    machine.Add("sda", disk);
    LinuxDriver driver(machine.System());
    DeviceHandle handle = OpenDrive(driver, 0);
    SmartCommandRecord record = Record(0xB0, 0xD0, 0);
    uint8_t reply[528];
    std::memset(reply, 0xEE, sizeof reply);
    uint32_t returned = 0;
    ASSERT_NE(0, driver.IoControl(handle, kSmartRcvDriveData, &record, 32, reply, sizeof reply,
                                  &returned));
    EXPECT_EQ(528u, returned);
    EXPECT_EQ(0, std::memcmp(reply + 16, disk.data.smartData, 512));
    EXPECT_EQ(0, reply[4]) << "DRIVERSTATUS reports no error";
    driver.Close(handle);
}

TEST(LinuxDriverTest, RefusedCommandsNeverReachTheKernel) {
    FakeMachine machine;
    machine.Add("sda", Ata("ALPHA", "S1"));
    LinuxDriver driver(machine.System());
    DeviceHandle handle = OpenDrive(driver, 0);
    ASSERT_NE(VANTREL_INVALID_DEVICE, handle);
    machine.sent.clear();  // the IDENTIFY that the open sends
    struct Case {
        const char* what;
        uint32_t code;
        SmartCommandRecord record;
    };
    SmartCommandRecord noSignature = Record(0xB0, 0xD0, 0);
    noSignature.irDriveRegs.bCylHighReg = 0;
    const Case cases[] = {
        {"WRITE SECTOR(S)", kSmartSendDriveCommand, Record(0x30, 0, 0)},
        {"WRITE DMA", kSmartRcvDriveData, Record(0xCA, 0, 0)},
        {"SMART EXECUTE OFF-LINE IMMEDIATE", kSmartSendDriveCommand, Record(0xB0, 0xD4, 0)},
        {"SMART WRITE LOG", kSmartSendDriveCommand, Record(0xB0, 0xD6, 0)},
        {"SMART RETURN STATUS", kSmartSendDriveCommand, Record(0xB0, 0xDA, 0)},
        {"SMART DISABLE OPERATIONS", kSmartSendDriveCommand, Record(0xB0, 0xD9, 0)},
        {"SMART READ DATA without signature", kSmartRcvDriveData, noSignature},
        {"SECURITY ERASE UNIT", kSmartSendDriveCommand, Record(0xF4, 0, 0)},
        {"SECURITY SET PASSWORD", kSmartRcvDriveData, Record(0xF1, 0, 0)},
        {"STANDBY IMMEDIATE", kSmartSendDriveCommand, Record(0xE0, 0, 0)},
        {"SLEEP", kSmartSendDriveCommand, Record(0xE6, 0, 0)},
        {"SET FEATURES", kSmartSendDriveCommand, Record(0xEF, 0x02, 0)},
        {"DOWNLOAD MICROCODE", kSmartSendDriveCommand, Record(0x92, 0, 0)},
        {"SMART ENABLE as a read", kSmartRcvDriveData, Record(0xB0, 0xD8, 0)},
        {"IDENTIFY DEVICE as a send", kSmartSendDriveCommand, Record(0xEC, 0, 0)},
        {"IDENTIFY for another drive", kSmartRcvDriveData, Record(0xEC, 0, 1)},
        {"unknown control", 0x4D014, Record(0xEC, 0, 0)},
    };
    for (const Case& refused : cases) {
        uint8_t reply[528];
        EXPECT_EQ(0, driver.IoControl(handle, refused.code, &refused.record, 32, reply,
                                      sizeof reply, nullptr))
            << refused.what;
    }
    EXPECT_TRUE(machine.sent.empty()) << machine.sent.size() << " commands reached SG_IO";

    // The same record that was refused as a write passes as a SMART read:
    // the fake does answer, so the refusals above were the backend's.
    SmartCommandRecord read = Record(0xB0, 0xD0, 0);
    uint8_t reply[528];
    EXPECT_NE(
        0, driver.IoControl(handle, kSmartRcvDriveData, &read, 32, reply, sizeof reply, nullptr));
    EXPECT_EQ(1u, machine.sent.size());
    driver.Close(handle);
}

TEST(LinuxDriverTest, HandleOpenedWithoutWriteAccessGetsNoCommands) {
    FakeMachine machine;
    machine.Add("sda", Ata("ALPHA", "S1"));
    LinuxDriver driver(machine.System());
    DeviceHandle handle =
        driver.Open("\\\\.\\PhysicalDrive0", kGenericRead, kFileShareRead, kOpenExisting);
    ASSERT_NE(VANTREL_INVALID_DEVICE, handle);
    machine.sent.clear();
    SmartCommandRecord record = Record(0xEC, 0, 0);
    uint8_t reply[528];
    EXPECT_EQ(
        0, driver.IoControl(handle, kSmartRcvDriveData, &record, 32, reply, sizeof reply, nullptr));
    EXPECT_TRUE(machine.sent.empty());
    driver.Close(handle);
}

TEST(LinuxDriverTest, AFailingCommandFails) {
    FakeMachine machine;
    FakeDisk disk = Ata("ALPHA", "S1");
    machine.Add("sda", disk);
    LinuxDriver driver(machine.System());
    DeviceHandle handle = OpenDrive(driver, 0);
    machine.sent.clear();
    // The fake aborts IDENTIFY PACKET DEVICE on an ATA disk.
    SmartCommandRecord record = Record(0xA1, 0, 0);
    uint8_t reply[528];
    EXPECT_EQ(
        0, driver.IoControl(handle, kSmartRcvDriveData, &record, 32, reply, sizeof reply, nullptr));
    EXPECT_EQ(1u, machine.sent.size());
    driver.Close(handle);
}

TEST(LinuxDriverTest, MissingRightsAreToldOnceAndNamed) {
    FakeMachine machine;
    FakeDisk locked = Ata("ALPHA", "S1");
    locked.openErrno = EACCES;
    machine.Add("sda", locked);
    machine.Add("sdb", locked);
    FakeDisk noRawIo = Ata("BRAVO", "S2");
    noRawIo.sgIoErrno = EPERM;
    machine.Add("sdc", noRawIo);
    LinuxDriver driver(machine.System());
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    ASSERT_EQ(1u, machine.notices.size());
    EXPECT_NE(std::string::npos, machine.notices[0].find("/dev/sda"));
    EXPECT_NE(std::string::npos, machine.notices[0].find("run as root"));
    EXPECT_NE(std::string::npos, machine.notices[0].find("CAP_SYS_RAWIO"));
    EXPECT_EQ("(none)", Model(inventory, 2));
}

TEST(LinuxDriverTest, RefusedPassThroughIsToldToo) {
    FakeMachine machine;
    FakeDisk noRawIo = Ata("BRAVO", "S2");
    noRawIo.sgIoErrno = EPERM;
    machine.Add("sda", noRawIo);
    LinuxDriver driver(machine.System());
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    ASSERT_EQ(1u, machine.notices.size());
    EXPECT_NE(std::string::npos, machine.notices[0].find("run as root"));
}

TEST(LinuxDriverTest, DiskWithoutMediumIsQuiet) {
    FakeMachine machine;
    FakeDisk reader;
    reader.openErrno = ENOMEDIUM;
    machine.Add("sda", reader);
    machine.Add("sdb", Ata("BRAVO", "S2"));
    LinuxDriver driver(machine.System());
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    EXPECT_TRUE(machine.notices.empty());
    EXPECT_EQ("BRAVO", Model(inventory, 1));
}

}  // namespace

namespace {

// The real open takes a block device only: a FIFO (which would block or
// take SG_IO), a regular file, a tty and a link are not opened.
TEST(LinuxDeviceOpenTest, OnlyBlockDevicesOpen) {
    const std::string dir = ::testing::TempDir() + "device-open";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    ASSERT_EQ(0, mkfifo((dir + "/fifo").c_str(), 0600));
    std::FILE* file = std::fopen((dir + "/file").c_str(), "w");
    ASSERT_NE(nullptr, file);
    std::fclose(file);
    std::vector<std::string> refused = {dir + "/fifo", dir + "/file", "/dev/tty", "/dev/null"};
    struct stat disk;
    const char* const loop = "/dev/loop0";
    const bool haveDisk =
        stat(loop, &disk) == 0 && S_ISBLK(disk.st_mode) && access(loop, R_OK) == 0;
    if (haveDisk) {
        std::filesystem::create_symlink(loop, dir + "/link");
        refused.push_back(dir + "/link");
    }
    const LinuxSystem system = RealLinuxSystem([](const std::string&) {});
    for (const std::string& path : refused) {
        const int fd = system.openDevice(path);
        EXPECT_LT(fd, 0) << path;
        if (fd >= 0) {
            close(fd);
        }
    }
    if (haveDisk) {
        const int fd = system.openDevice(loop);
        EXPECT_GE(fd, 0);
        if (fd >= 0) {
            close(fd);
        }
    }
}

}  // namespace
