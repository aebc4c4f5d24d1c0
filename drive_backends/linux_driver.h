// The NT disk driver's side of the seam, played by Linux: each
// \\.\PhysicalDriveN is one whole disk or one NVMe controller. The SMART
// I/O controls become ATA PASS-THROUGH (16) commands sent through the SG_IO
// ioctl to the kernel's SCSI/ATA Translation layer; the NVMe property query
// becomes an admin command sent through NVME_IOCTL_ADMIN_CMD.
#pragma once

#include <linux/nvme_ioctl.h>
#include <scsi/sg.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "drive_backends/ata_pass_through.h"
#include "inventory/nvme_query.h"
#include "inventory/smart_driver.h"

// The system calls the backend makes, replaceable so that the backend can be
// exercised without a disk. Each returns what the system call returns and
// leaves errno set as it does.
struct LinuxSystem {
    std::function<std::vector<std::string>()> listDeviceNames;  // the entries of /dev
    std::function<int(const std::string& path)> openDevice;     // a descriptor or -1
    std::function<int(int fd, sg_io_hdr_t* io)> sgIo;           // ioctl(fd, SG_IO, io)
    // An NVMe controller by its /dev name (nvme0): a descriptor, or -1.
    std::function<int(const std::string& name)> openController;
    // ioctl(fd, NVME_IOCTL_ADMIN_CMD, command): 0, an NVMe status above 0,
    // or -1.
    std::function<int(int fd, nvme_admin_cmd* command)> nvmeAdmin;
    std::function<int(int fd)> closeDevice;
    // Told, once, that a disk could not be reached for lack of rights.
    std::function<void(const std::string& message)> notice;
};

// The running system's calls, with notices going to the given function.
LinuxSystem RealLinuxSystem(std::function<void(const std::string&)> notice);

// As many positions as the drive inventory holds.
enum { kLinuxMaxPositions = 64 };

// Whole disks (sd* and the old IDE driver's hd*, without partitions), in
// the kernel's naming order (sdz before sdaa).
std::vector<std::string> SelectWholeDisks(const std::vector<std::string>& deviceNames);

// NVMe controllers (nvme0, nvme1 ..., not their namespaces nvme0n1), in
// number order (nvme2 before nvme10).
std::vector<std::string> SelectNvmeControllers(const std::vector<std::string>& deviceNames);

// What PhysicalDrive0, 1 ... stand for: the whole disks, then the NVMe
// controllers, at most kLinuxMaxPositions.
std::vector<std::string> SelectDrivePositions(const std::vector<std::string>& deviceNames);

bool IsNvmeControllerName(const std::string& name);

// Opens devicePath only when it is a character device whose number is the
// one in classDir/dev (the controller's entry under /sys/class/nvme), and
// is not a link; checked before the open, so that no other driver's device
// is ever opened, and again after it. -1 with errno set otherwise.
int OpenNvmeController(const std::string& devicePath, const std::string& classDir);

// The admin command that answers one NVMe property query: Identify
// Controller (CNS 1), Identify Namespace 1 (CNS 0), the SMART / Health
// Information log (02h) or the Device Self-test log (06h), reading into
// data. False for any other query.
bool BuildNvmeAdmin(const NvmeQuery& query, void* data, nvme_admin_cmd* command);

// True only for a command that BuildNvmeAdmin can produce. Checked again
// right before the ioctl, so that nothing else ever reaches a controller.
// The Device Self-test (short, extended or abort) only with selfTests.
bool IsPermittedNvmeAdmin(const nvme_admin_cmd& command, bool selfTests = false);

// Capability numbers of linux/capability.h.
enum { kCapSysRawIo = 17, kCapSysAdmin = 21 };

// Whether the effective capability set in the text of /proc/self/status
// holds the capability. *known is false when the text has no readable
// CapEff line.
bool HasCapability(const std::string& procStatus, int capability, bool* known);

// CAP_SYS_RAWIO, which the kernel demands of an ATA pass-through.
bool HasRawIoCapability(const std::string& procStatus, bool* known);

// Why no position could be read at all, given the capabilities held: ATA
// disks need CAP_SYS_RAWIO, NVMe controllers CAP_SYS_ADMIN (for admin
// commands, on Debian's kernel). Empty when some position can be read, or
// there is none.
std::string MissingRights(const std::vector<std::string>& positions, bool rawIo, bool sysAdmin);

class LinuxDriver : public SmartDriver {
  public:
    // selfTests lets the self-test routines through (a run of --self-test
    // alone): see BuildPassThrough.
    explicit LinuxDriver(LinuxSystem system, bool selfTests = false);
    ~LinuxDriver() override;

    uint32_t PlatformId() override;
    // A disk is first asked CHECK POWER MODE; one in standby opens without
    // another command. Any other disk that answers neither IDENTIFY DEVICE
    // nor IDENTIFY PACKET DEVICE,
    // and a controller that answers no Identify Controller, does not open:
    // its position is empty, and the error says it is there but takes no
    // such commands (kErrorNotSupported); missing rights give
    // kErrorAccessDenied, a number past the last disk kErrorFileNotFound.
    DeviceHandle Open(const char* name, uint32_t access, uint32_t shareMode, uint32_t disposition,
                      uint32_t* error = nullptr) override;
    int IoControl(DeviceHandle device, uint32_t code, const void* input, uint32_t inputLength,
                  void* output, uint32_t outputLength, uint32_t* bytesReturned) override;
    int Close(DeviceHandle device) override;
    // The disk a position stands for once the scan has opened it: /dev/sda,
    // /dev/nvme0.
    void DeviceName(int position, char* name, uint32_t size) override;
    // A position within the listed disks.
    bool HasDevice(int position) override;
    // The position then opens only while its device has that number.
    void ExpectDevice(int position, uint64_t deviceNumber) override;
    // Every ATA command goes as an ATA PASS-THROUGH through SG_IO.
    bool TranslatesAta() override { return true; }

  private:
    struct Disk {
        int fd;
        int position;
        uint32_t access;
        std::string path;
        uint8_t deviceMap;  // what IDENTIFY found at open: 0x01, or 0x11 for a packet device
        bool nvme;
        // A disk in standby at open: IDENTIFY waits until the scan asks the
        // version, which it does only when it means to wake the disk.
        bool kindPending;
    };

    LinuxDriver(const LinuxDriver&) = delete;
    LinuxDriver& operator=(const LinuxDriver&) = delete;

    uint8_t IdentifyKind(const Disk& disk);
    bool CheckPowerMode(const Disk& disk, uint8_t* count);
    int PowerModeControl(const Disk& disk, const void* input, uint32_t inputLength, void* output,
                         uint32_t outputLength, uint32_t* returned);
    int SelfTestControl(const Disk& disk, const void* input, uint32_t inputLength, void* output,
                        uint32_t outputLength, uint32_t* returned);
    int Version(Disk& disk, void* output, uint32_t outputLength, uint32_t* returned);
    int DriveCommand(const Disk& disk, uint32_t code, const void* input, uint32_t inputLength,
                     void* output, uint32_t outputLength, uint32_t* returned);
    bool Execute(const Disk& disk, const PassThroughCommand& command, uint8_t* data,
                 AtaStatusReturn* registers = nullptr);
    int NvmeProperty(const Disk& disk, const void* input, uint32_t inputLength, void* output,
                     uint32_t outputLength, uint32_t* returned);
    bool Admin(const Disk& disk, nvme_admin_cmd* command);
    int NvmeSelfTest(const Disk& disk, const void* input, uint32_t inputLength, void* output,
                     uint32_t outputLength, uint32_t* returned);
    void NoteNoRights(const Disk& disk, int error);
    void ListDisks();
    bool denied_ = false;  // a refusal for want of rights since the last open

    LinuxSystem system_;
    bool selfTests_;
    bool listed_ = false;
    std::vector<std::string> disks_;
    // The device number each position must still have at its open, 0 for
    // any (ExpectDevice).
    uint64_t expected_[kLinuxMaxPositions] = {};
    std::map<DeviceHandle, Disk> handles_;
    uintptr_t nextHandle_ = 0x100;
    bool rightsNoted_ = false;
};
