#include "drive_backends/linux_driver.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "inventory/smart_records.h"

namespace {

const char kPhysicalDrivePrefix[] = "\\\\.\\PhysicalDrive";

// What the NT driver reports in fCapabilities: IDENTIFY, IDENTIFY PACKET and
// SMART.
const uint32_t kCapabilities = 0x7;

// A SMART read takes a drive a few milliseconds; a drive still spinning up
// may need several seconds before it answers at all.
const unsigned kCommandTimeoutMs = 20000;

const int kCapSysRawIo = 17;

// sd followed by letters only (hd likewise): a whole disk, not a partition.
bool IsWholeDisk(const std::string& name) {
    if (name.size() < 3 || (name.compare(0, 2, "sd") != 0 && name.compare(0, 2, "hd") != 0)) {
        return false;
    }
    for (size_t i = 2; i < name.size(); ++i) {
        if (name[i] < 'a' || name[i] > 'z') {
            return false;
        }
    }
    return true;
}

// The kernel names disks sda..sdz, then sdaa..: a shorter suffix comes first.
bool KernelOrder(const std::string& a, const std::string& b) {
    if (a.compare(0, 2, b, 0, 2) != 0) {
        return a < b;
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

std::vector<std::string> ListDev() {
    std::vector<std::string> names;
    DIR* dir = opendir("/dev");
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(dir)) {
        names.push_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

int OpenForCommands(const std::string& path) {
    // Read-only: nothing here writes, and the kernel lets a pass-through
    // through on the strength of CAP_SYS_RAWIO, not of write access. No
    // blocking on a drive without a medium.
    // Only a disk: a link, a FIFO (which would be sent SG_IO), a tty (which
    // would become the controlling one) or a regular file under a disk's
    // name is not opened, or closed again at once.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
    struct stat target;
    if (fd >= 0 && (fstat(fd, &target) != 0 || !S_ISBLK(target.st_mode))) {
        close(fd);
        errno = ENODEV;
        return -1;
    }
    return fd;
}

int SgIo(int fd, sg_io_hdr_t* io) {
    return ioctl(fd, SG_IO, io);
}

bool IsLackOfRights(int error) {
    return error == EACCES || error == EPERM;
}

void PutLittleEndian(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace

LinuxSystem RealLinuxSystem(std::function<void(const std::string&)> notice) {
    LinuxSystem system;
    system.listDeviceNames = ListDev;
    system.openDevice = OpenForCommands;
    system.sgIo = SgIo;
    system.closeDevice = close;
    system.notice = std::move(notice);
    return system;
}

std::vector<std::string> SelectWholeDisks(const std::vector<std::string>& deviceNames) {
    std::vector<std::string> disks;
    for (const std::string& name : deviceNames) {
        if (IsWholeDisk(name)) {
            disks.push_back(name);
        }
    }
    std::sort(disks.begin(), disks.end(), KernelOrder);
    disks.erase(std::unique(disks.begin(), disks.end()), disks.end());
    if (disks.size() > 4) {
        disks.resize(4);
    }
    return disks;
}

bool HasRawIoCapability(const std::string& procStatus, bool* known) {
    *known = false;
    for (size_t start = 0; start < procStatus.size();) {
        size_t end = procStatus.find('\n', start);
        if (end == std::string::npos) {
            end = procStatus.size();
        }
        const std::string line = procStatus.substr(start, end - start);
        start = end + 1;
        if (line.compare(0, 7, "CapEff:") != 0) {
            continue;
        }
        const std::string digits = line.substr(7);
        uint64_t mask = 0;
        bool any = false;
        for (char c : digits) {
            int value;
            if (c >= '0' && c <= '9') {
                value = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                value = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                value = c - 'A' + 10;
            } else if (c == ' ' || c == '\t') {
                continue;
            } else {
                return false;
            }
            mask = (mask << 4) | static_cast<uint64_t>(value);
            any = true;
        }
        *known = any;
        return any && ((mask >> kCapSysRawIo) & 1) != 0;
    }
    return false;
}

LinuxDriver::LinuxDriver(LinuxSystem system) : system_(std::move(system)) {}

LinuxDriver::~LinuxDriver() {
    for (auto& open : handles_) {
        system_.closeDevice(open.second.fd);
    }
}

uint32_t LinuxDriver::PlatformId() {
    return kPlatformWindowsNt;
}

void LinuxDriver::DeviceName(int position, char* name, uint32_t size) {
    if (position < 0 || static_cast<size_t>(position) >= disks_.size() || size == 0) {
        SmartDriver::DeviceName(position, name, size);
        return;
    }
    std::snprintf(name, size, "/dev/%s", disks_[position].c_str());
}

void LinuxDriver::NoteNoRights(const std::string& path, int error) {
    if (rightsNoted_) {
        return;
    }
    rightsNoted_ = true;
    if (system_.notice) {
        system_.notice(path + ": " + std::strerror(error) +
                       ": reading SMART data needs root (CAP_SYS_RAWIO); run as root");
    }
}

DeviceHandle LinuxDriver::Open(const char* name, uint32_t access, uint32_t, uint32_t disposition) {
    const size_t prefix = sizeof kPhysicalDrivePrefix - 1;
    if (name == nullptr || disposition != kOpenExisting || std::strlen(name) != prefix + 1 ||
        std::strncmp(name, kPhysicalDrivePrefix, prefix) != 0) {
        return VANTREL_INVALID_DEVICE;
    }
    const int position = name[prefix] - '0';
    if (position < 0 || position > 3) {
        return VANTREL_INVALID_DEVICE;
    }
    if (!listed_) {
        disks_ = SelectWholeDisks(system_.listDeviceNames());
        listed_ = true;
    }
    if (static_cast<size_t>(position) >= disks_.size()) {
        return VANTREL_INVALID_DEVICE;
    }
    const std::string path = "/dev/" + disks_[position];
    const int fd = system_.openDevice(path);
    if (fd < 0) {
        // Anything but missing rights (no medium, a vanished device) leaves
        // the position empty without a word, as Windows would.
        if (IsLackOfRights(errno)) {
            NoteNoRights(path, errno);
        }
        return VANTREL_INVALID_DEVICE;
    }
    Disk disk{fd, position, access, path, 0};
    disk.deviceMap = IdentifyKind(disk);
    if (disk.deviceMap == 0) {
        // Not an IDE drive: the position stays empty, as on Windows, where
        // such a disk has no SMART version to give; the positions after it
        // keep their numbers.
        system_.closeDevice(fd);
        return VANTREL_INVALID_DEVICE;
    }
    DeviceHandle handle = reinterpret_cast<DeviceHandle>(nextHandle_);
    nextHandle_ += 4;
    handles_[handle] = disk;
    return handle;
}

int LinuxDriver::Close(DeviceHandle device) {
    auto open = handles_.find(device);
    if (open == handles_.end()) {
        return 0;
    }
    const int result = system_.closeDevice(open->second.fd);
    handles_.erase(open);
    return result == 0;
}

int LinuxDriver::IoControl(DeviceHandle device, uint32_t code, const void* input,
                           uint32_t inputLength, void* output, uint32_t outputLength,
                           uint32_t* bytesReturned) {
    uint32_t returned = 0;
    int result = 0;
    auto open = handles_.find(device);
    if (open == handles_.end() || (outputLength > 0 && output == nullptr)) {
        result = 0;
    } else if (code == kSmartGetVersion) {
        result = Version(open->second, output, outputLength, &returned);
    } else if (code == kSmartSendDriveCommand || code == kSmartRcvDriveData) {
        result =
            DriveCommand(open->second, code, input, inputLength, output, outputLength, &returned);
    }
    if (bytesReturned) {
        *bytesReturned = returned;
    }
    return result;
}

// A disk behind a translation layer that passes ATA commands on answers
// IDENTIFY DEVICE, or, being a packet device, IDENTIFY PACKET DEVICE. A disk
// that answers neither (NVMe behind a bridge, a USB bridge without SAT, a
// virtual disk) is no IDE drive. The answer is the drive's bit in the
// version's device map: 0x01, 0x11 for a packet device, 0 for neither.
uint8_t LinuxDriver::IdentifyKind(const Disk& disk) {
    IdeRegs regs;
    std::memset(&regs, 0, sizeof regs);
    regs.bCommandReg = kAtaIdentifyDevice;
    PassThroughCommand command;
    uint8_t data[kSectorLength];
    if (BuildPassThrough(kSmartRcvDriveData, regs, &command) && Execute(disk, command, data)) {
        return 0x01;
    }
    regs.bCommandReg = kAtaIdentifyPacketDevice;
    if (BuildPassThrough(kSmartRcvDriveData, regs, &command) && Execute(disk, command, data)) {
        return 0x11;
    }
    return 0;
}

int LinuxDriver::Version(const Disk& disk, void* output, uint32_t outputLength,
                         uint32_t* returned) {
    if (outputLength < sizeof(SmartVersion)) {
        return 0;
    }
    SmartVersion version;
    std::memset(&version, 0, sizeof version);
    version.bVersion = 1;
    version.bRevision = 1;
    version.bIDEDeviceMap = disk.deviceMap;
    version.fCapabilities = kCapabilities;
    std::memcpy(output, &version, sizeof version);
    *returned = sizeof version;
    return 1;
}

int LinuxDriver::DriveCommand(const Disk& disk, uint32_t code, const void* input,
                              uint32_t inputLength, void* output, uint32_t outputLength,
                              uint32_t* returned) {
    if (input == nullptr || inputLength < kCommandInputLength) {
        return 0;
    }
    SmartCommandRecord record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(&record, input, kCommandInputLength);
    // As the NT driver: only its own drive, and only to a handle opened for
    // reading and writing.
    const uint32_t readWrite = kGenericRead | kGenericWrite;
    if (record.bDriveNumber != disk.position || (disk.access & readWrite) != readWrite) {
        return 0;
    }
    PassThroughCommand command;
    if (!BuildPassThrough(code, record.irDriveRegs, &command)) {
        return 0;
    }
    const bool data = command.transfer == AtaTransfer::kFromDevice;
    const uint32_t needed = data ? static_cast<uint32_t>(kDataReplyLength) : kReplyHeadLength;
    if (outputLength < needed) {
        return 0;
    }
    uint8_t block[kSectorLength];
    if (!Execute(disk, command, block)) {
        return 0;
    }
    uint8_t* reply = static_cast<uint8_t*>(output);
    std::memset(reply, 0, kReplyHeadLength);
    if (data) {
        PutLittleEndian(reply, kSectorLength);
        std::memcpy(reply + kReplyHeadLength, block, kSectorLength);
        *returned = kDataReplyLength;
    } else {
        *returned = kReplyHeadLength;
    }
    return 1;
}

bool LinuxDriver::Execute(const Disk& disk, const PassThroughCommand& command, uint8_t* data) {
    if (!IsPermittedPassThrough(command)) {
        return false;
    }
    PassThroughCommand sent = command;  // SG_IO takes a non-const CDB pointer
    uint8_t sense[64];
    std::memset(sense, 0, sizeof sense);
    std::memset(data, 0, kSectorLength);
    sg_io_hdr_t io;
    std::memset(&io, 0, sizeof io);
    io.interface_id = 'S';
    io.cmd_len = kPassThroughCdbLength;
    io.cmdp = sent.cdb;
    io.mx_sb_len = sizeof sense;
    io.sbp = sense;
    io.timeout = kCommandTimeoutMs;
    if (sent.transfer == AtaTransfer::kFromDevice) {
        io.dxfer_direction = SG_DXFER_FROM_DEV;
        io.dxfer_len = sent.transferLength;
        io.dxferp = data;
    } else {
        io.dxfer_direction = SG_DXFER_NONE;
    }
    if (system_.sgIo(disk.fd, &io) < 0) {
        // A disk that takes no SCSI commands at all refuses SG_IO itself;
        // only missing rights are worth a word.
        if (IsLackOfRights(errno)) {
            NoteNoRights(disk.path, errno);
        }
        return false;
    }
    PassThroughReply reply;
    reply.scsiStatus = io.status;
    reply.hostStatus = io.host_status;
    reply.driverStatus = io.driver_status;
    reply.sense = sense;
    reply.senseLength = io.sb_len_wr < sizeof sense ? io.sb_len_wr : sizeof sense;
    reply.residual = io.resid;
    return PassThroughSucceeded(sent, reply);
}
