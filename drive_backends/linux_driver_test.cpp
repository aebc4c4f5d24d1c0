#include "drive_backends/linux_driver.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <algorithm>
#include <map>
#include <vector>

#include "inventory/ata_pass_through_record.h"
#include "inventory/drive_inventory.h"
#include "inventory/smart_channel.h"
#include "capture/synthetic_capture.h"

namespace {

// One disk as the kernel would present it behind /dev.
struct FakeDisk {
    enum Kind { kAta, kPacket, kNotAta } kind = kAta;
    int openErrno = 0;  // non-zero: open fails with it
    int sgIoErrno = 0;  // non-zero: SG_IO fails with it
    // CHECK POWER MODE's count register, or -1 to abort the command; the
    // registers come back in descriptor-format sense, or in fixed-format.
    int powerCount = 0xFF;
    bool fixedSense = false;
    DriveCapture data;
};

// One NVMe controller as the kernel would present it at /dev/nvmeN.
struct FakeController {
    int openErrno = 0;         // non-zero: the open fails with it
    int adminErrno = 0;        // non-zero: every admin ioctl fails with it
    int identifyStatus = 0;    // non-zero: Identify Controller answers this NVMe status
    bool hasNamespace = true;  // false: Identify Namespace answers Invalid Namespace
    std::vector<uint8_t> controller = std::vector<uint8_t>(4096);
    std::vector<uint8_t> nameSpace = std::vector<uint8_t>(4096);
    std::vector<uint8_t> health = std::vector<uint8_t>(512);
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
    std::map<std::string, FakeController> controllers;          // by /dev path
    std::vector<std::pair<std::string, nvme_admin_cmd>> admin;  // every admin ioctl
    std::vector<std::string> notices;
    std::map<int, std::string> open;
    int nextFd = 10;

    void Add(const std::string& name, const FakeDisk& disk) {
        names.push_back(name);
        disks["/dev/" + name] = disk;
    }

    void AddNvme(const std::string& name, const FakeController& controller) {
        names.push_back(name);
        controllers["/dev/" + name] = controller;
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
        system.openController = [this](const std::string& name) {
            auto controller = controllers.find("/dev/" + name);
            if (controller == controllers.end()) {
                errno = ENODEV;
                return -1;
            }
            if (controller->second.openErrno) {
                errno = controller->second.openErrno;
                return -1;
            }
            open[nextFd] = controller->first;
            return nextFd++;
        };
        system.nvmeAdmin = [this](int fd, nvme_admin_cmd* command) { return Admin(fd, command); };
        system.closeDevice = [this](int fd) { return open.erase(fd) == 1 ? 0 : -1; };
        system.notice = [this](const std::string& message) { notices.push_back(message); };
        return system;
    }

  private:
    int Admin(int fd, nvme_admin_cmd* command) {
        auto path = open.find(fd);
        if (path == open.end() || controllers.count(path->second) == 0) {
            errno = ENOTTY;  // what a disk says to an NVMe ioctl
            return -1;
        }
        admin.emplace_back(path->second, *command);
        const FakeController& controller = controllers[path->second];
        if (controller.adminErrno) {
            errno = controller.adminErrno;
            return -1;
        }
        const std::vector<uint8_t>* data = nullptr;
        if (command->opcode == 0x06 && command->cdw10 == 1 && command->nsid == 0) {
            if (controller.identifyStatus) {
                return controller.identifyStatus;
            }
            data = &controller.controller;
        } else if (command->opcode == 0x06 && command->cdw10 == 0 && command->nsid == 1) {
            if (!controller.hasNamespace) {
                return 0x400B;  // Invalid Namespace or Format, do not retry
            }
            data = &controller.nameSpace;
        } else if (command->opcode == 0x02 && (command->cdw10 & 0xFF) == 0x02) {
            data = &controller.health;
        } else {
            return 0x4001;  // Invalid Command Opcode
        }
        std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(command->addr)), data->data(),
                    std::min<size_t>(data->size(), command->data_len));
        return 0;
    }

    static void Sense(sg_io_hdr_t* io, const std::vector<uint8_t>& sense) {
        const size_t length = std::min<size_t>(sense.size(), io->mx_sb_len);
        std::memcpy(io->sbp, sense.data(), length);
        io->sb_len_wr = static_cast<unsigned char>(length);
        io->status = 0x02;
        io->driver_status = 0x08;
    }

    static void AtaAnswer(sg_io_hdr_t* io, uint8_t error, uint8_t status, uint8_t count = 1,
                          bool fixed = false, uint8_t lbaMid = 0x4F, uint8_t lbaHigh = 0xC2) {
        const uint8_t key = error ? 0x0B : 0x01;
        const uint8_t ascq = error ? 0x00 : 0x1D;
        if (fixed) {  // ERROR, STATUS, DEVICE, COUNT in INFORMATION; LBA 23:8 after
            Sense(io, {0xF0, 0, key, error, status, 0xA0, count, 10, 0, 0, lbaMid, lbaHigh, 0x00,
                       ascq});
            return;
        }
        Sense(io, {0x72,  key, 0x00,  ascq, 0, 0, 0,      14, 0x09,    0x0C, 0,
                   error, 0,   count, 0,    1, 0, lbaMid, 0,  lbaHigh, 0xA0, status});
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
        if (command == 0xE5 && disk.powerCount >= 0) {
            AtaAnswer(io, 0, 0x50, static_cast<uint8_t>(disk.powerCount), disk.fixedSense);
            return 0;
        }
        // SMART RETURN STATUS: the capture's SMST, or a refusal without it.
        if (command == 0xB0 && feature == 0xDA && disk.data.hasStatus) {
            const bool passed = disk.data.status[3] == 1;
            AtaAnswer(io, 0, 0x50, 0, disk.fixedSense, passed ? 0x4F : 0xF4, passed ? 0xC2 : 0x2C);
            return 0;
        }
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

void PutText(std::vector<uint8_t>* data, size_t offset, size_t width, const std::string& text) {
    for (size_t i = 0; i < width; ++i) {
        (*data)[offset + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
    }
}

// A controller with its identity, one 512-byte-block namespace and a health
// log that reports the given composite temperature and critical warning.
FakeController Nvme(const std::string& model, const std::string& serial, uint16_t kelvin,
                    uint8_t warning) {
    FakeController controller;
    PutText(&controller.controller, 4, 20, serial);
    PutText(&controller.controller, 24, 40, model);
    PutText(&controller.controller, 64, 8, "NV-1");
    controller.nameSpace[0] = 0x00;  // NSZE 0x10000 blocks
    controller.nameSpace[2] = 0x01;
    controller.nameSpace[130] = 9;  // LBA format 0: 512-byte blocks
    controller.health[0] = warning;
    controller.health[1] = static_cast<uint8_t>(kelvin);
    controller.health[2] = static_cast<uint8_t>(kelvin >> 8);
    controller.health[3] = 100;
    controller.health[4] = 10;
    return controller;
}

// A property query as the scan builds it; its reply comes back in the same
// buffer.
struct QueryBuffer {
    std::vector<uint8_t> bytes;
    explicit QueryBuffer(const NvmeQuery& query) : bytes(kProtocolDataStart + query.length) {
        BuildNvmeQuery(query, bytes.data());
    }
    uint32_t size() const { return static_cast<uint32_t>(bytes.size()); }
};

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

TEST(LinuxDiskSelectionTest, WholeDisksThenControllersInNaturalOrder) {
    struct Case {
        const char* what;
        std::vector<std::string> names;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"whole disks only, IDE names first",
         {"sdb", "sda1", "sda", "sdc2", "vda", "sg0", "sr0", "sdc", "tty1", "sd", "sdB", ".",
          "loop0", "hdc"},
         {"hdc", "sda", "sdb", "sdc"}},
        {"a shorter suffix first", {"sdaa", "sdz", "sdab", "sdy"}, {"sdy", "sdz", "sdaa", "sdab"}},
        {"more than four disks",
         {"sdf", "sde", "sdd", "sdc", "sdb", "sda"},
         {"sda", "sdb", "sdc", "sdd", "sde", "sdf"}},
        {"controllers by number after every disk, never their namespaces",
         {"nvme10", "nvme2n1", "nvme2", "sdb", "nvme0", "nvme0n1p1", "nvme-fabrics", "nvme01",
          "nvme", "nvme1x", "ng0n1", "sda"},
         {"sda", "sdb", "nvme0", "nvme2", "nvme10"}},
        {"no disks", {"nvme0n1", "vda", "mmcblk0", "null"}, {}},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(test.expected, SelectDrivePositions(test.names)) << test.what;
    }
    const std::vector<std::string> controllers = {"nvme10", "nvme9", "nvme100", "nvme0"};
    const std::vector<std::string> inOrder = {"nvme0", "nvme9", "nvme10", "nvme100"};
    EXPECT_EQ(inOrder, SelectNvmeControllers(controllers));
}

TEST(LinuxDiskSelectionTest, AtMostSixtyFourPositions) {
    // 60 disks (sda..sdz, sdaa..sdbh) and 8 controllers: the last four
    // controllers do not fit.
    std::vector<std::string> names;
    for (int i = 0; i < 60; ++i) {
        std::string name = "sd";
        if (i >= 26) {
            name += static_cast<char>('a' + i / 26 - 1);
        }
        name += static_cast<char>('a' + i % 26);
        names.push_back(name);
    }
    for (int i = 7; i >= 0; --i) {
        names.push_back("nvme" + std::to_string(i));
    }
    const std::vector<std::string> positions = SelectDrivePositions(names);
    ASSERT_EQ(64u, positions.size());
    EXPECT_EQ("sdz", positions[25]);
    EXPECT_EQ("sdaa", positions[26]);
    EXPECT_EQ("sdbh", positions[59]);
    EXPECT_EQ("nvme0", positions[60]);
    EXPECT_EQ("nvme3", positions[63]);
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

TEST(LinuxCapabilityTest, ReadsSysAdminApartFromRawIo) {
    bool known = false;
    EXPECT_TRUE(HasCapability("CapEff:\t0000000000200000\n", kCapSysAdmin, &known));
    EXPECT_TRUE(known);
    EXPECT_FALSE(HasCapability("CapEff:\t0000000000200000\n", kCapSysRawIo, &known));
    EXPECT_FALSE(HasCapability("CapEff:\t0000000000020000\n", kCapSysAdmin, &known));
    EXPECT_TRUE(HasCapability("CapEff:\t0000000000020000\n", kCapSysRawIo, &known));
}

TEST(LinuxCapabilityTest, MissingRightsNameWhatEachKindNeeds) {
    struct Case {
        std::vector<std::string> positions;
        bool rawIo;
        bool sysAdmin;
        const char* expected;  // empty: something can be read
    };
    const Case cases[] = {
        {{"sda", "nvme0"},
         false,
         false,
         "reading SMART data from /dev/sda needs root (CAP_SYS_RAWIO for ATA disks, "
         "CAP_SYS_ADMIN for NVMe): run as root"},
        {{"sda"},
         false,
         false,
         "reading SMART data from /dev/sda needs root (CAP_SYS_RAWIO): run as root"},
        {{"sda"},
         false,
         true,
         "reading SMART data from /dev/sda needs root (CAP_SYS_RAWIO): run as root"},
        {{"nvme1"},
         true,
         false,
         "reading SMART data from /dev/nvme1 needs root (CAP_SYS_ADMIN for NVMe): run as root"},
        {{"sda", "nvme0"}, true, false, ""},
        {{"sda", "nvme0"}, false, true, ""},
        {{"nvme0"}, false, true, ""},
        {{}, false, false, ""},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(test.expected, MissingRights(test.positions, test.rawIo, test.sysAdmin))
            << test.positions.size() << " positions, rawio " << test.rawIo << " sysadmin "
            << test.sysAdmin;
    }
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
    // Names Windows would not give a drive number never reach a disk.
    for (const char* name :
         {"\\\\.\\PhysicalDrive01", "\\\\.\\PhysicalDrive1x", "\\\\.\\PhysicalDrive-1",
          "\\\\.\\PhysicalDrive", "\\\\.\\PhysicalDrive100", "\\\\.\\PhysicalDrive64"}) {
        EXPECT_EQ(VANTREL_INVALID_DEVICE,
                  driver.Open(name, kGenericRead | kGenericWrite, 0, kOpenExisting))
            << name;
    }
    ASSERT_EQ(2u, machine.open.size());
    EXPECT_EQ("/dev/sda", machine.open.begin()->second);
    EXPECT_EQ("/dev/sdb", machine.open.rbegin()->second);
    EXPECT_NE(0, driver.Close(first));
    EXPECT_NE(0, driver.Close(second));
    EXPECT_EQ(0, driver.Close(second));
    EXPECT_TRUE(machine.open.empty());
    EXPECT_TRUE(machine.notices.empty());
}

// A name the user resolved through a link pins its position's device: the
// open goes on only while the device there has the number the link led to,
// and is closed again, sent nothing, where another took its place. (The
// fake disk's descriptor is really /dev/null, 1:3.)
TEST(LinuxDriverTest, APinnedPositionOpensOnlyAsTheDeviceItWas) {
    FakeMachine machine;
    machine.Add("sda", Ata("ALPHA", "S1"));
    const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(null, 0);
    LinuxDriver driver(machine.System());
    for (const auto& pin : {std::make_pair(makedev(1, 5), false),
                            {makedev(8, 0), false},
                            {makedev(1, 3), true},
                            {dev_t(0), true}}) {
        machine.nextFd = null;
        machine.sent.clear();
        driver.ExpectDevice(0, pin.first);
        DeviceHandle handle = OpenDrive(driver, 0);
        EXPECT_EQ(pin.second, handle != VANTREL_INVALID_DEVICE) << pin.first;
        EXPECT_EQ(pin.second, !machine.sent.empty()) << pin.first;
        if (handle != VANTREL_INVALID_DEVICE) {
            driver.Close(handle);
        }
        EXPECT_TRUE(machine.open.empty()) << pin.first;
    }
    close(null);
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

    // Nothing but the six commands went out, reading or sending no data.
    ASSERT_FALSE(machine.sent.empty());
    for (const SentCommand& sent : machine.sent) {
        ASSERT_EQ(16u, sent.cdb.size());
        EXPECT_EQ(0x85, sent.cdb[0]);
        const uint8_t command = sent.cdb[14];
        const uint8_t feature = sent.cdb[4];
        const bool enable = (command == 0xB0 && feature == 0xD8) || command == 0xE5;
        const bool read = command == 0xEC || command == 0xA1 ||
                          (command == 0xB0 && (feature == 0xD0 || feature == 0xD1));
        EXPECT_TRUE(enable || read) << sent.path << " command " << int(command);
        if (command == 0xB0) {
            EXPECT_EQ(0x4F, sent.cdb[10]);
            EXPECT_EQ(0xC2, sent.cdb[12]);
        }
        EXPECT_EQ(enable ? SG_DXFER_NONE : SG_DXFER_FROM_DEV, sent.direction);
        EXPECT_EQ(enable ? 0u : 512u, sent.length);
    }
}

TEST(LinuxDriverTest, PositionsGoPastFour) {
    FakeMachine machine;
    const char* const names[] = {"sdf", "sde", "sdd", "sdc", "sdb", "sda"};
    for (const char* name : names) {
        machine.Add(name, Ata(std::string("DISK ") + name, std::string("SER-") + name));
    }
    LinuxDriver driver(machine.System());
    // Named before any open (--device matches names first), and nothing
    // opened for it.
    char first[32];
    driver.DeviceName(5, first, sizeof first);
    EXPECT_STREQ("/dev/sdf", first);
    EXPECT_TRUE(machine.open.empty());
    for (int position = 0; position < 6; ++position) {
        DeviceHandle handle = OpenDrive(driver, position);
        ASSERT_NE(VANTREL_INVALID_DEVICE, handle) << position;
        char name[32];
        driver.DeviceName(position, name, sizeof name);
        EXPECT_EQ("/dev/sd" + std::string(1, static_cast<char>('a' + position)), name);
        EXPECT_EQ(name, machine.open.rbegin()->second);
        driver.Close(handle);
    }
    EXPECT_EQ(VANTREL_INVALID_DEVICE, OpenDrive(driver, 6));
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
        {"SMART RETURN STATUS as a read", kSmartRcvDriveData, Record(0xB0, 0xDA, 0)},
        {"SMART RETURN STATUS for another drive", kSmartSendDriveCommand, Record(0xB0, 0xDA, 1)},
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

// CHECK POWER MODE through the ATA pass-through control: one non-data CDB
// with CK_COND, its answer the count register from either sense format, and
// no other record passed on.
TEST(LinuxDriverTest, CheckPowerModeReadsTheCountFromEitherSenseFormat) {
    struct Case {
        const char* what;
        int powerCount;
        bool fixedSense;
        FakeDisk::Kind kind;
        int expected;  // the count returned, or -1 for a failed control
    };
    const Case cases[] = {
        {"standby, descriptor sense", 0x00, false, FakeDisk::kAta, 0x00},
        {"standby, fixed sense", 0x01, true, FakeDisk::kAta, 0x01},
        {"idle, fixed sense", 0x80, true, FakeDisk::kAta, 0x80},
        {"active, descriptor sense", 0xFF, false, FakeDisk::kAta, 0xFF},
        {"aborted", -1, false, FakeDisk::kAta, -1},
        {"a SCSI disk: ILLEGAL REQUEST", 0xFF, false, FakeDisk::kNotAta, -1},
    };
    const uint8_t kCdb[16] = {0x85, 0x06, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xA0, 0xE5, 0};
    for (const Case& test : cases) {
        FakeMachine machine;
        FakeDisk disk = Ata("ALPHA", "S1");
        disk.powerCount = test.powerCount;
        disk.fixedSense = test.fixedSense;
        disk.kind = test.kind == FakeDisk::kNotAta ? FakeDisk::kAta : test.kind;
        machine.Add("sda", disk);
        LinuxDriver driver(machine.System());
        DeviceHandle handle = OpenDrive(driver, 0);
        ASSERT_NE(VANTREL_INVALID_DEVICE, handle) << test.what;
        machine.disks["/dev/sda"].kind = test.kind;
        machine.sent.clear();
        AtaPassThroughRecord record;
        BuildCheckPowerMode(&record);
        uint32_t returned = 0;
        const int ok = driver.IoControl(handle, kAtaPassThroughControl, &record, sizeof record,
                                        &record, sizeof record, &returned);
        EXPECT_EQ(test.expected >= 0, ok != 0) << test.what;
        if (ok) {
            EXPECT_EQ(sizeof record, returned);
            EXPECT_EQ(test.expected, record.CurrentTaskFile[kTaskFileCount]) << test.what;
            EXPECT_EQ(0, record.CurrentTaskFile[kTaskFileCommand] & kAtaStatusError);
        }
        ASSERT_EQ(1u, machine.sent.size()) << test.what;
        EXPECT_EQ(std::vector<uint8_t>(kCdb, kCdb + 16), machine.sent[0].cdb) << test.what;
        EXPECT_EQ(SG_DXFER_NONE, machine.sent[0].direction);

        // Any other record, or the right one cut short, never reaches a disk.
        machine.sent.clear();
        AtaPassThroughRecord other;
        BuildCheckPowerMode(&other);
        other.CurrentTaskFile[kTaskFileCommand] = 0xE0;  // STANDBY IMMEDIATE
        AtaPassThroughRecord data;
        BuildCheckPowerMode(&data);
        data.AtaFlags |= kAtaFlagsDataOut;
        data.DataTransferLength = 512;
        for (const AtaPassThroughRecord* refused : {&other, &data}) {
            AtaPassThroughRecord out = *refused;
            EXPECT_EQ(0, driver.IoControl(handle, kAtaPassThroughControl, refused, sizeof out, &out,
                                          sizeof out, &returned));
        }
        BuildCheckPowerMode(&record);
        EXPECT_EQ(0, driver.IoControl(handle, kAtaPassThroughControl, &record, sizeof record - 8,
                                      &record, sizeof record, &returned));
        EXPECT_TRUE(machine.sent.empty()) << test.what;
        driver.Close(handle);
    }
}

// SMART RETURN STATUS goes out non-data with CK_COND, and its answer comes
// back from LBA mid and high in either sense format as the NT driver's
// IDEREGS; a drive that refuses it fails the control.
TEST(LinuxDriverTest, ReturnStatusReadsTheRegistersFromEitherSenseFormat) {
    struct Case {
        const char* what;
        int smst;  // the drive's answer, -1 to refuse the command
        bool fixedSense;
        SelfAssessment expected;
    };
    const Case cases[] = {
        {"passed, descriptor sense", 1, false, SelfAssessment::kPassed},
        {"failed, fixed sense", 0, true, SelfAssessment::kFailed},
        {"refused", -1, false, SelfAssessment::kNone},
    };
    const uint8_t kCdb[16] = {0x85, 0x06, 0x20, 0, 0xDA, 0,    1,    0,
                              1,    0,    0x4F, 0, 0xC2, 0xA0, 0xB0, 0};
    for (const Case& test : cases) {
        FakeMachine machine;
        FakeDisk disk = Ata("ALPHA", "S1");
        disk.data.hasStatus = test.smst >= 0;
        disk.data.status[3] = static_cast<uint8_t>(test.smst);
        disk.fixedSense = test.fixedSense;
        machine.Add("sda", disk);
        LinuxDriver driver(machine.System());
        DeviceHandle handle = OpenDrive(driver, 0);
        ASSERT_NE(VANTREL_INVALID_DEVICE, handle) << test.what;
        machine.sent.clear();
        SmartCommandRecord command;
        std::memset(&command, 0, sizeof command);
        uint8_t reply[kReturnStatusReplyLength];
        uint32_t returned = 0;
        const int ok = SendReturnStatus(driver, handle, &command, reply, 0, &returned);
        EXPECT_EQ(test.smst >= 0, ok != 0) << test.what;
        EXPECT_EQ(ok ? kReturnStatusReplyLength : 0u, returned) << test.what;
        EXPECT_EQ(test.expected, ok ? DecodeReturnStatus(reply, returned) : SelfAssessment::kNone)
            << test.what;
        ASSERT_EQ(1u, machine.sent.size()) << test.what;
        EXPECT_EQ(std::vector<uint8_t>(kCdb, kCdb + 16), machine.sent[0].cdb) << test.what;
        EXPECT_EQ(SG_DXFER_NONE, machine.sent[0].direction);
        driver.Close(handle);
    }
}

// A disk in standby gets CHECK POWER MODE and nothing else, from the open
// on, unless the scan is told to wake it.
TEST(LinuxDriverTest, AStandbyDiskIsSentNothingButCheckPowerMode) {
    for (const bool wake : {false, true}) {
        FakeMachine machine;
        FakeDisk sleeping = Ata("SLEEPER", "S1");
        sleeping.powerCount = 0x00;
        machine.Add("sda", sleeping);
        machine.Add("sdb", Ata("AWAKE", "S2"));
        LinuxDriver driver(machine.System());
        DriveInventory inventory;
        inventory.readPowerMode = true;
        inventory.wakeStandby = wake;
        inventory.ScanDrives(driver);
        EXPECT_EQ(2, inventory.GetDriveCount());
        EXPECT_EQ(!wake, inventory.asleep[0]);
        EXPECT_EQ(0x00, inventory.powerModeCount[0]);
        EXPECT_EQ(0xFF, inventory.powerModeCount[1]);
        EXPECT_EQ(wake ? "SLEEPER" : "(none)", Model(inventory, 0));
        EXPECT_EQ("AWAKE", Model(inventory, 1));
        size_t toSleeper = 0;
        for (const SentCommand& sent : machine.sent) {
            if (sent.path == "/dev/sda") {
                ++toSleeper;
                EXPECT_TRUE(wake || sent.cdb[14] == 0xE5) << int(sent.cdb[14]);
            }
        }
        // The open's question and the scan's; woken, the IDENTIFY that tells
        // its kind, then the scan's five.
        EXPECT_EQ(wake ? 7u : 2u, toSleeper);
        EXPECT_TRUE(machine.open.empty());
    }
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

TEST(LinuxNvmeTest, QueriesBecomeTheirAdminCommands) {
    struct Case {
        const char* what;
        NvmeQuery query;
        bool built;
        uint8_t opcode;
        uint32_t nsid;
        uint32_t cdw10;
        uint32_t length;
    };
    NvmeQuery otherNamespace = IdentifyNamespaceQuery();
    otherNamespace.requestSubValue = 2;
    NvmeQuery namespaceOfAdapter = IdentifyNamespaceQuery();
    namespaceOfAdapter.propertyId = kAdapterProtocolSpecificProperty;
    NvmeQuery errorLog = HealthLogQuery();
    errorLog.requestValue = 1;
    NvmeQuery firmwareLog = HealthLogQuery();
    firmwareLog.requestValue = 3;
    NvmeQuery shortLog = HealthLogQuery();
    shortLog.length = 511;
    NvmeQuery activeList = IdentifyControllerQuery();
    activeList.requestValue = 2;
    NvmeQuery logWithOffset = HealthLogQuery();
    logWithOffset.requestSubValue = 512;
    const Case cases[] = {
        {"Identify Controller", IdentifyControllerQuery(), true, 0x06, 0, 1, 4096},
        {"Identify Namespace 1", IdentifyNamespaceQuery(), true, 0x06, 1, 0, 4096},
        {"health log", HealthLogQuery(), true, 0x02, 0xFFFFFFFFu, 0x007F0002u, 512},
        {"self-test log", SelfTestLogQuery(), true, 0x02, 0xFFFFFFFFu, 0x008C0006u, 564},
        {"namespace 2", otherNamespace, false, 0, 0, 0, 0},
        {"namespace asked of the adapter", namespaceOfAdapter, false, 0, 0, 0, 0},
        {"error log", errorLog, false, 0, 0, 0, 0},
        {"firmware slot log", firmwareLog, false, 0, 0, 0, 0},
        {"log into too small a buffer", shortLog, false, 0, 0, 0, 0},
        {"active namespace list", activeList, false, 0, 0, 0, 0},
        {"log at an offset", logWithOffset, false, 0, 0, 0, 0},
    };
    std::vector<uint8_t> data(4096);
    for (const Case& test : cases) {
        nvme_admin_cmd command;
        std::memset(&command, 0xEE, sizeof command);
        ASSERT_EQ(test.built, BuildNvmeAdmin(test.query, data.data(), &command)) << test.what;
        if (!test.built) {
            continue;
        }
        EXPECT_EQ(test.opcode, command.opcode) << test.what;
        EXPECT_EQ(test.nsid, command.nsid) << test.what;
        EXPECT_EQ(test.cdw10, command.cdw10) << test.what;
        EXPECT_EQ(test.length, command.data_len) << test.what;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(data.data()), command.addr) << test.what;
        EXPECT_TRUE(IsPermittedNvmeAdmin(command)) << test.what;
    }
}

TEST(LinuxNvmeTest, WhitelistRefusesEveryOtherAdminCommand) {
    std::vector<uint8_t> data(4096);
    nvme_admin_cmd identify;
    ASSERT_TRUE(BuildNvmeAdmin(IdentifyControllerQuery(), data.data(), &identify));
    nvme_admin_cmd log;
    ASSERT_TRUE(BuildNvmeAdmin(HealthLogQuery(), data.data(), &log));
    struct Case {
        const char* what;
        nvme_admin_cmd command;
    };
    std::vector<Case> cases;
    auto add = [&](const char* what, const nvme_admin_cmd& base, auto change) {
        nvme_admin_cmd command = base;
        change(command);
        cases.push_back({what, command});
    };
    add("Format NVM", identify, [](nvme_admin_cmd& c) { c.opcode = 0x80; });
    add("Set Features", identify, [](nvme_admin_cmd& c) { c.opcode = 0x09; });
    add("Firmware Commit", identify, [](nvme_admin_cmd& c) { c.opcode = 0x10; });
    add("Firmware Image Download", identify, [](nvme_admin_cmd& c) { c.opcode = 0x11; });
    add("Sanitize", identify, [](nvme_admin_cmd& c) { c.opcode = 0x84; });
    add("Namespace Management", identify, [](nvme_admin_cmd& c) { c.opcode = 0x0D; });
    add("Security Send", identify, [](nvme_admin_cmd& c) { c.opcode = 0x81; });
    add("Device Self-test", identify, [](nvme_admin_cmd& c) { c.opcode = 0x14; });
    add("Identify CNS 2", identify, [](nvme_admin_cmd& c) { c.cdw10 = 2; });
    add("Identify for a controller id", identify, [](nvme_admin_cmd& c) { c.cdw10 = 0x10001; });
    add("Identify Controller with a namespace", identify, [](nvme_admin_cmd& c) { c.nsid = 1; });
    add("Identify Namespace 2", identify, [](nvme_admin_cmd& c) {
        c.cdw10 = 0;
        c.nsid = 2;
    });
    add("Identify longer than 4096", identify, [](nvme_admin_cmd& c) { c.data_len = 8192; });
    add("Identify with metadata", identify, [](nvme_admin_cmd& c) {
        c.metadata = c.addr;
        c.metadata_len = 64;
    });
    add("Identify with flags", identify, [](nvme_admin_cmd& c) { c.flags = 1; });
    add("Identify without a buffer", identify, [](nvme_admin_cmd& c) { c.addr = 0; });
    add("error log", log, [](nvme_admin_cmd& c) { c.cdw10 = 0x007F0001u; });
    add("health log, 4096 bytes", log, [](nvme_admin_cmd& c) {
        c.cdw10 = 0x03FF0002u;
        c.data_len = 4096;
    });
    add("health log retaining the event", log, [](nvme_admin_cmd& c) { c.cdw10 |= 0x8000; });
    add("health log at an offset", log, [](nvme_admin_cmd& c) { c.cdw12 = 512; });
    add("health log of namespace 1", log, [](nvme_admin_cmd& c) { c.nsid = 1; });
    add("health log with CDW11", log, [](nvme_admin_cmd& c) { c.cdw11 = 1; });
    add("health log with CDW14", log, [](nvme_admin_cmd& c) { c.cdw14 = 1; });
    add("health log with CDW2", log, [](nvme_admin_cmd& c) { c.cdw2 = 1; });
    for (const Case& test : cases) {
        EXPECT_FALSE(IsPermittedNvmeAdmin(test.command)) << test.what;
        EXPECT_FALSE(IsPermittedNvmeAdmin(test.command, true)) << test.what;
    }
    EXPECT_TRUE(IsPermittedNvmeAdmin(identify));
    EXPECT_TRUE(IsPermittedNvmeAdmin(log));
}

// The Device Self-test, in a self-test run alone: short, extended or abort
// to every namespace, moving no data; no other self-test code, no single
// namespace, no buffer, no other dword.
TEST(LinuxNvmeTest, DeviceSelfTestOnlyInASelfTestRun) {
    nvme_admin_cmd test;
    std::memset(&test, 0, sizeof test);
    test.opcode = 0x14;
    test.nsid = 0xFFFFFFFFu;
    for (uint32_t code = 0; code < 16; ++code) {
        test.cdw10 = code;
        const bool known = code == 0x1 || code == 0x2 || code == 0xF;
        EXPECT_FALSE(IsPermittedNvmeAdmin(test)) << code;
        EXPECT_EQ(known, IsPermittedNvmeAdmin(test, true)) << code;
    }
    std::vector<uint8_t> data(4096);
    const struct {
        const char* what;
        void (*change)(nvme_admin_cmd&, uint8_t*);
    } changes[] = {
        {"namespace 1", [](nvme_admin_cmd& c, uint8_t*) { c.nsid = 1; }},
        {"with a buffer", [](nvme_admin_cmd& c, uint8_t* d) { c.addr = uintptr_t(d); }},
        {"with a length", [](nvme_admin_cmd& c, uint8_t*) { c.data_len = 512; }},
        {"STC in upper bits", [](nvme_admin_cmd& c, uint8_t*) { c.cdw10 = 0x101; }},
        {"with CDW11", [](nvme_admin_cmd& c, uint8_t*) { c.cdw11 = 1; }},
        {"with flags", [](nvme_admin_cmd& c, uint8_t*) { c.flags = 1; }},
    };
    for (const auto& change : changes) {
        nvme_admin_cmd changed = test;
        changed.cdw10 = 0x1;
        change.change(changed, data.data());
        EXPECT_FALSE(IsPermittedNvmeAdmin(changed, true)) << change.what;
    }
}

TEST(LinuxNvmeTest, ScanReadsControllersAfterTheDisks) {
    FakeMachine machine;
    machine.Add("sda", Ata("ALPHA", "S1"));
    FakeDisk usb;
    usb.kind = FakeDisk::kNotAta;
    machine.Add("sdb", usb);
    machine.Add("sdc", Ata("CHARLIE", "S3"));
    machine.Add("sdd", Ata("DELTA", "S4"));
    machine.Add("sde", Ata("ECHO", "S5"));
    FakeController degraded = Nvme("VANTREL NVME", "NV-10", 323, 0x04);
    degraded.hasNamespace = false;
    machine.AddNvme("nvme10", degraded);
    machine.AddNvme("nvme2", Nvme("VANTREL NVME", "NV-2", 300, 0));
    machine.names.push_back("nvme2n1");
    LinuxDriver driver(machine.System());
    DriveInventory inventory;
    inventory.scanPositions = kMaxDrivePositions;
    inventory.readNvme = true;
    inventory.ScanDrives(driver);

    EXPECT_EQ(6, inventory.GetDriveCount());
    const char* const models[] = {"ALPHA", "(none)",         "CHARLIE",       "DELTA",
                                  "ECHO",  "VANTREL NVME-1", "VANTREL NVME-2"};
    for (int position = 0; position < 7; ++position) {
        EXPECT_EQ(models[position], Model(inventory, position)) << position;
    }
    EXPECT_EQ("(none)", Model(inventory, 7));
    char name[32];
    driver.DeviceName(5, name, sizeof name);
    EXPECT_STREQ("/dev/nvme2", name);
    driver.DeviceName(6, name, sizeof name);
    EXPECT_STREQ("/dev/nvme10", name);

    // The controllers' data as they gave it; nvme10 has no namespace.
    ASSERT_NE(nullptr, inventory.nvme[5]);
    ASSERT_NE(nullptr, inventory.nvme[6]);
    const FakeController& second = machine.controllers["/dev/nvme2"];
    EXPECT_EQ(0, std::memcmp(inventory.nvme[5]->controller, second.controller.data(), 4096));
    EXPECT_TRUE(inventory.nvme[5]->hasNamespace);
    EXPECT_EQ(0, std::memcmp(inventory.nvme[5]->nameSpace, second.nameSpace.data(), 4096));
    EXPECT_EQ(0, std::memcmp(inventory.nvme[5]->health, second.health.data(), 512));
    EXPECT_FALSE(inventory.nvme[6]->hasNamespace);
    EXPECT_EQ(0x04, inventory.nvme[6]->health[0]);
    EXPECT_EQ(323, inventory.nvme[6]->health[1] | inventory.nvme[6]->health[2] << 8);
    EXPECT_TRUE(machine.open.empty()) << "every disk and controller is closed again";
    EXPECT_TRUE(machine.notices.empty());

    // Each controller got Identify at the open, then the scan's three, and
    // nothing else; no SG_IO went to a controller.
    std::map<std::string, std::vector<std::pair<uint8_t, uint32_t>>> commands;
    for (const auto& sent : machine.admin) {
        commands[sent.first].emplace_back(sent.second.opcode, sent.second.nsid);
        EXPECT_TRUE(IsPermittedNvmeAdmin(sent.second));
    }
    const std::vector<std::pair<uint8_t, uint32_t>> expected = {
        {0x06, 0}, {0x06, 0}, {0x06, 1}, {0x02, 0xFFFFFFFFu}};
    EXPECT_EQ(expected, commands["/dev/nvme2"]);
    EXPECT_EQ(expected, commands["/dev/nvme10"]);
    EXPECT_EQ(2u, commands.size());
    for (const SentCommand& sent : machine.sent) {
        EXPECT_EQ(std::string::npos, sent.path.find("nvme")) << sent.path;
    }
}

TEST(LinuxNvmeTest, AControllerAnswersTheQueryAloneAndNoSmartControl) {
    FakeMachine machine;
    machine.AddNvme("nvme0", Nvme("VANTREL NVME", "NV-0", 323, 0));
    LinuxDriver driver(machine.System());
    DeviceHandle handle = OpenDrive(driver, 0);
    ASSERT_NE(VANTREL_INVALID_DEVICE, handle);
    machine.admin.clear();

    SmartVersion version;
    uint32_t returned = 99;
    EXPECT_EQ(0, driver.IoControl(handle, kSmartGetVersion, nullptr, 0, &version, sizeof version,
                                  &returned));
    EXPECT_EQ(0u, returned);
    SmartCommandRecord record = Record(0xEC, 0, 0);
    uint8_t reply[528];
    EXPECT_EQ(
        0, driver.IoControl(handle, kSmartRcvDriveData, &record, 32, reply, sizeof reply, nullptr));
    EXPECT_EQ(0, driver.IoControl(handle, kSmartSendDriveCommand, &record, 32, reply, sizeof reply,
                                  nullptr));
    EXPECT_TRUE(machine.sent.empty());

    // The reply: a descriptor that places the log right after the record.
    QueryBuffer log(HealthLogQuery());
    ASSERT_NE(0, driver.IoControl(handle, kStorageQueryProperty, log.bytes.data(), log.size(),
                                  log.bytes.data(), log.size(), &returned));
    EXPECT_EQ(48u + 512u, returned);
    const uint8_t* data = NvmeReplyData(log.bytes.data(), returned, 512);
    ASSERT_EQ(log.bytes.data() + 48, data);
    EXPECT_EQ(0, std::memcmp(data, machine.controllers["/dev/nvme0"].health.data(), 512));
    EXPECT_EQ(1u, machine.admin.size());

    // Queries that map to no permitted command, and a reply buffer too
    // small for the data, never reach the controller.
    NvmeQuery errorLog = HealthLogQuery();
    errorLog.requestValue = 1;
    NvmeQuery namespaceTwo = IdentifyNamespaceQuery();
    namespaceTwo.requestSubValue = 2;
    for (const NvmeQuery& query : {errorLog, namespaceTwo}) {
        QueryBuffer refused(query);
        EXPECT_EQ(
            0, driver.IoControl(handle, kStorageQueryProperty, refused.bytes.data(), refused.size(),
                                refused.bytes.data(), refused.size(), &returned));
    }
    QueryBuffer shortReply(IdentifyControllerQuery());
    EXPECT_EQ(0, driver.IoControl(handle, kStorageQueryProperty, shortReply.bytes.data(),
                                  shortReply.size(), shortReply.bytes.data(), shortReply.size() - 1,
                                  &returned));
    EXPECT_EQ(1u, machine.admin.size()) << "only the health log reached the controller";
    driver.Close(handle);
}

TEST(LinuxNvmeTest, AnAtaDiskAnswersNoPropertyQuery) {
    FakeMachine machine;
    machine.Add("sda", Ata("ALPHA", "S1"));
    LinuxDriver driver(machine.System());
    DeviceHandle handle = OpenDrive(driver, 0);
    ASSERT_NE(VANTREL_INVALID_DEVICE, handle);
    QueryBuffer query(IdentifyControllerQuery());
    uint32_t returned = 0;
    EXPECT_EQ(0, driver.IoControl(handle, kStorageQueryProperty, query.bytes.data(), query.size(),
                                  query.bytes.data(), query.size(), &returned));
    EXPECT_TRUE(machine.admin.empty());
    driver.Close(handle);
}

TEST(LinuxNvmeTest, UnreadableControllersLeaveTheirPositionEmpty) {
    struct Case {
        const char* what;
        int openErrno;
        int adminErrno;
        int identifyStatus;
        const char* notice;  // empty: none
    };
    const Case cases[] = {
        {"open refused", EACCES, 0, 0, "/dev/nvme0: Permission denied"},
        {"admin refused", 0, EPERM, 0, "/dev/nvme0: Operation not permitted"},
        {"Identify fails", 0, 0, 0x4002, ""},
        {"controller gone", ENODEV, 0, 0, ""},
    };
    for (const Case& test : cases) {
        FakeMachine machine;
        FakeController controller = Nvme("VANTREL NVME", "NV-0", 323, 0);
        controller.openErrno = test.openErrno;
        controller.adminErrno = test.adminErrno;
        controller.identifyStatus = test.identifyStatus;
        machine.AddNvme("nvme0", controller);
        machine.AddNvme("nvme1", Nvme("SECOND NVME", "NV-1", 323, 0));
        LinuxDriver driver(machine.System());
        DriveInventory inventory;
        inventory.scanPositions = kMaxDrivePositions;
        inventory.readNvme = true;
        inventory.ScanDrives(driver);
        EXPECT_EQ("(none)", Model(inventory, 0)) << test.what;
        EXPECT_EQ(nullptr, inventory.nvme[0]) << test.what;
        EXPECT_EQ("SECOND NVME", Model(inventory, 1)) << test.what;
        EXPECT_TRUE(machine.open.empty()) << test.what;
        if (*test.notice) {
            ASSERT_EQ(1u, machine.notices.size()) << test.what;
            EXPECT_EQ(0u, machine.notices[0].find(test.notice)) << machine.notices[0];
            EXPECT_NE(std::string::npos, machine.notices[0].find("CAP_SYS_ADMIN")) << test.what;
            EXPECT_NE(std::string::npos, machine.notices[0].find("run as root")) << test.what;
        } else {
            EXPECT_TRUE(machine.notices.empty()) << test.what;
        }
    }
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

namespace {

std::string DeviceNumberText(const std::string& path) {
    struct stat node;
    if (stat(path.c_str(), &node) != 0) {
        return "";
    }
    return std::to_string(major(node.st_rdev)) + ":" + std::to_string(minor(node.st_rdev)) + "\n";
}

void WriteFile(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(nullptr, file) << path;
    std::fputs(text.c_str(), file);
    std::fclose(file);
}

// A controller opens only as the character device its class entry names.
// /dev/null stands in for a controller: a character device whose number
// the test writes into a class entry of its own.
TEST(LinuxDeviceOpenTest, NvmeControllersOpenOnlyAsTheirClassCharacterDevice) {
    const std::string dir = ::testing::TempDir() + "nvme-open";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/class/nvme0");
    std::filesystem::create_directories(dir + "/other/nvme0");
    std::filesystem::create_directories(dir + "/missing/nvme0");
    const std::string null = DeviceNumberText("/dev/null");
    ASSERT_FALSE(null.empty());
    WriteFile(dir + "/class/nvme0/dev", null);
    WriteFile(dir + "/other/nvme0/dev", "1:5\n");  // /dev/zero's number
    // /dev/null's number written as the kernel never writes it.
    const char* const malformed[] = {
        "1:3",  " 1:3\n", "+1:3\n",         "1:3\n\n",        "1:3 \n",
        ":3\n", "1:\n",   "4294967297:3\n", "1:4294967299\n", "01:3x\n"};
    for (size_t i = 0; i < sizeof malformed / sizeof malformed[0]; ++i) {
        const std::string entry = dir + "/malformed" + std::to_string(i) + "/nvme0";
        std::filesystem::create_directories(entry);
        WriteFile(entry + "/dev", malformed[i]);
    }
    WriteFile(dir + "/file", "not a device");
    ASSERT_EQ(0, mkfifo((dir + "/fifo").c_str(), 0600));
    std::filesystem::create_symlink("/dev/null", dir + "/link");
    // A block device named nvme0: made here where the rights allow, else any
    // block device at hand.
    std::string block = dir + "/nvme0";
    if (mknod(block.c_str(), S_IFBLK | 0600, makedev(7, 0)) != 0) {
        block = "/dev/loop0";
    }
    const std::string blockClass = dir + "/block-class/nvme0";
    std::filesystem::create_directories(blockClass);
    WriteFile(blockClass + "/dev", DeviceNumberText(block));

    struct Case {
        const char* what;
        std::string device;
        std::string classDir;
        bool opens;
    };
    std::vector<Case> cases = {
        {"the character device its class names", "/dev/null", dir + "/class/nvme0", true},
        {"another character device", "/dev/zero", dir + "/class/nvme0", false},
        {"a number the class does not name", "/dev/null", dir + "/other/nvme0", false},
        {"no class entry", "/dev/null", dir + "/missing/nvme0", false},
        {"a regular file", dir + "/file", dir + "/class/nvme0", false},
        {"a FIFO", dir + "/fifo", dir + "/class/nvme0", false},
        {"a link to the right device", dir + "/link", dir + "/class/nvme0", false},
        {"a block device named nvme0", block, blockClass, false},
        {"nothing there", dir + "/absent", dir + "/class/nvme0", false},
    };
    for (size_t i = 0; i < sizeof malformed / sizeof malformed[0]; ++i) {
        cases.push_back(
            {malformed[i], "/dev/null", dir + "/malformed" + std::to_string(i) + "/nvme0", false});
    }
    for (const Case& test : cases) {
        if (test.device == "/dev/loop0" && DeviceNumberText(test.device).empty()) {
            continue;  // no block device to try here
        }
        const int fd = OpenNvmeController(test.device, test.classDir);
        EXPECT_EQ(test.opens, fd >= 0) << test.what;
        if (fd >= 0) {
            close(fd);
        }
    }
    // The real open's names are the controllers' alone.
    const LinuxSystem system = RealLinuxSystem([](const std::string&) {});
    for (const char* name : {"null", "../dev/null", "nvme0n1", "sda"}) {
        EXPECT_LT(system.openController(name), 0) << name;
    }
}

}  // namespace
