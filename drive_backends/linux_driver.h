// The NT disk driver's side of the seam, played by Linux: each
// \\.\PhysicalDriveN is one whole disk, and the SMART I/O controls become
// ATA PASS-THROUGH (16) commands sent through the SG_IO ioctl to the kernel's
// SCSI/ATA Translation layer.
#pragma once

#include <scsi/sg.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "drive_backends/ata_pass_through.h"
#include "inventory/smart_driver.h"

// The system calls the backend makes, replaceable so that the backend can be
// exercised without a disk. Each returns what the system call returns and
// leaves errno set as it does.
struct LinuxSystem {
    std::function<std::vector<std::string>()> listDeviceNames;  // the entries of /dev
    std::function<int(const std::string& path)> openDevice;     // a descriptor or -1
    std::function<int(int fd, sg_io_hdr_t* io)> sgIo;           // ioctl(fd, SG_IO, io)
    std::function<int(int fd)> closeDevice;
    // Told, once, that a disk could not be reached for lack of rights.
    std::function<void(const std::string& message)> notice;
};

// The running system's calls, with notices going to the given function.
LinuxSystem RealLinuxSystem(std::function<void(const std::string&)> notice);

// The disks PhysicalDrive0 to 3 stand for: whole disks (sd* and the old
// IDE driver's hd*, without partitions), in the kernel's naming order
// (sdz before sdaa), at most four.
std::vector<std::string> SelectWholeDisks(const std::vector<std::string>& deviceNames);

// Whether the effective capability set in the text of /proc/self/status
// holds CAP_SYS_RAWIO, which the kernel demands of an ATA pass-through.
// *known is false when the text has no readable CapEff line.
bool HasRawIoCapability(const std::string& procStatus, bool* known);

class LinuxDriver : public SmartDriver {
  public:
    explicit LinuxDriver(LinuxSystem system);
    ~LinuxDriver() override;

    uint32_t PlatformId() override;
    // A disk that answers neither IDENTIFY DEVICE nor IDENTIFY PACKET DEVICE
    // does not open: its position is empty.
    DeviceHandle Open(const char* name, uint32_t access, uint32_t shareMode,
                      uint32_t disposition) override;
    int IoControl(DeviceHandle device, uint32_t code, const void* input, uint32_t inputLength,
                  void* output, uint32_t outputLength, uint32_t* bytesReturned) override;
    int Close(DeviceHandle device) override;
    // The disk a position stands for once the scan has opened it: /dev/sda.
    void DeviceName(int position, char* name, uint32_t size) override;

  private:
    struct Disk {
        int fd;
        int position;
        uint32_t access;
        std::string path;
        uint8_t deviceMap;  // what IDENTIFY found at open: 0x01, or 0x11 for a packet device
    };

    LinuxDriver(const LinuxDriver&) = delete;
    LinuxDriver& operator=(const LinuxDriver&) = delete;

    uint8_t IdentifyKind(const Disk& disk);
    int Version(const Disk& disk, void* output, uint32_t outputLength, uint32_t* returned);
    int DriveCommand(const Disk& disk, uint32_t code, const void* input, uint32_t inputLength,
                     void* output, uint32_t outputLength, uint32_t* returned);
    bool Execute(const Disk& disk, const PassThroughCommand& command, uint8_t* data);
    void NoteNoRights(const std::string& path, int error);

    LinuxSystem system_;
    bool listed_ = false;
    std::vector<std::string> disks_;
    std::map<DeviceHandle, Disk> handles_;
    uintptr_t nextHandle_ = 0x100;
    bool rightsNoted_ = false;
};
