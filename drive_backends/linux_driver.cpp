#include "drive_backends/linux_driver.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "inventory/ata_pass_through_record.h"
#include "inventory/power_mode.h"
#include "inventory/self_test.h"
#include "inventory/smart_records.h"

namespace {

const char kPhysicalDrivePrefix[] = "\\\\.\\PhysicalDrive";

// What the NT driver reports in fCapabilities: IDENTIFY, IDENTIFY PACKET and
// SMART.
const uint32_t kCapabilities = 0x7;

// A SMART read takes a drive a few milliseconds; a drive still spinning up
// may need several seconds before it answers at all.
const unsigned kCommandTimeoutMs = 20000;

// Identify and Get Log Page, the only admin commands a reading sends; the
// Device Self-test in a self-test run alone.
const uint8_t kNvmeAdminGetLogPage = 0x02;
const uint8_t kNvmeAdminIdentify = 0x06;
const uint32_t kNvmeAllNamespaces = 0xFFFFFFFFu;
// Get Log Page CDW10: NUMDL 127 (a 0's-based count of dwords, 512 bytes) in
// bits 31-16 and the log identifier 02h; no RAE, no LSP.
const uint32_t kNvmeHealthLogCdw10 = 0x007F0002u;
const uint32_t kNvmeIdentifyLength = 4096;
const uint32_t kNvmeHealthLogLength = 512;
// The Device Self-test log: NUMDL 140 (564 bytes), log identifier 06h.
const uint32_t kNvmeSelfTestLogCdw10 = 0x008C0006u;

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

// The number after "nvme"; the name is known to be a controller's.
unsigned long ControllerNumber(const std::string& name) {
    return std::strtoul(name.c_str() + 4, nullptr, 10);
}

bool ControllerOrder(const std::string& a, const std::string& b) {
    return ControllerNumber(a) < ControllerNumber(b);
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

int OpenController(const std::string& name) {
    if (!IsNvmeControllerName(name)) {
        errno = ENODEV;
        return -1;
    }
    return OpenNvmeController("/dev/" + name, "/sys/class/nvme/" + name);
}

int NvmeAdminIoctl(int fd, nvme_admin_cmd* command) {
    return ioctl(fd, NVME_IOCTL_ADMIN_CMD, command);
}

// The device number in a sysfs "dev" file: "259:0\n".
bool ReadDeviceNumber(const std::string& path, dev_t* number) {
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (file < 0) {
        return false;
    }
    char text[32];
    const ssize_t got = read(file, text, sizeof text - 1);
    close(file);
    if (got <= 0) {
        return false;
    }
    text[got] = 0;
    // Digits only, each number within 32 bits: the kernel writes nothing
    // else, and a wrapped number could name another device.
    unsigned long parts[2] = {0, 0};
    const char* at = text;
    for (int part = 0; part < 2; ++part) {
        const char* digits = at;
        while (*at >= '0' && *at <= '9' && at - digits < 10) {
            parts[part] = parts[part] * 10 + static_cast<unsigned>(*at - '0');
            ++at;
        }
        if (at == digits || parts[part] > 0xFFFFFFFFul || *at != (part == 0 ? ':' : '\n')) {
            return false;
        }
        ++at;
    }
    if (*at != 0) {
        return false;
    }
    *number = makedev(static_cast<unsigned>(parts[0]), static_cast<unsigned>(parts[1]));
    return true;
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
    system.openController = OpenController;
    system.nvmeAdmin = NvmeAdminIoctl;
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
    return disks;
}

bool IsNvmeControllerName(const std::string& name) {
    // nvme and a number without leading zeros: nvme0n1 is a namespace,
    // nvme-fabrics the fabrics control node.
    if (name.size() < 5 || name.size() > 12 || name.compare(0, 4, "nvme") != 0 ||
        (name[4] == '0' && name.size() > 5)) {
        return false;
    }
    for (size_t i = 4; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return false;
        }
    }
    return true;
}

std::vector<std::string> SelectNvmeControllers(const std::vector<std::string>& deviceNames) {
    std::vector<std::string> controllers;
    for (const std::string& name : deviceNames) {
        if (IsNvmeControllerName(name)) {
            controllers.push_back(name);
        }
    }
    std::sort(controllers.begin(), controllers.end(), ControllerOrder);
    controllers.erase(std::unique(controllers.begin(), controllers.end()), controllers.end());
    return controllers;
}

std::vector<std::string> SelectDrivePositions(const std::vector<std::string>& deviceNames) {
    std::vector<std::string> positions = SelectWholeDisks(deviceNames);
    const std::vector<std::string> controllers = SelectNvmeControllers(deviceNames);
    positions.insert(positions.end(), controllers.begin(), controllers.end());
    if (positions.size() > kLinuxMaxPositions) {
        positions.resize(kLinuxMaxPositions);
    }
    return positions;
}

int OpenNvmeController(const std::string& devicePath, const std::string& classDir) {
    // The class entry names the controller's device number; the node must
    // carry it before anything is opened (another driver's character device
    // may act on an open alone) and still carry it once open.
    dev_t expected;
    struct stat node;
    if (!ReadDeviceNumber(classDir + "/dev", &expected) || lstat(devicePath.c_str(), &node) != 0 ||
        !S_ISCHR(node.st_mode) || node.st_rdev != expected) {
        errno = ENODEV;
        return -1;
    }
    // O_NONBLOCK as well: should a FIFO take the node's place after the
    // check, the open must not wait for a writer.
    const int fd =
        open(devicePath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return -1;
    }
    struct stat opened;
    if (fstat(fd, &opened) != 0 || !S_ISCHR(opened.st_mode) || opened.st_rdev != expected) {
        close(fd);
        errno = ENODEV;
        return -1;
    }
    return fd;
}

bool BuildNvmeAdmin(const NvmeQuery& query, void* data, nvme_admin_cmd* command) {
    nvme_admin_cmd built;
    std::memset(&built, 0, sizeof built);
    if (query.propertyId == kAdapterProtocolSpecificProperty &&
        query.dataType == kNvmeDataTypeIdentify && query.requestValue == kNvmeIdentifyController &&
        query.requestSubValue == 0) {
        built.opcode = kNvmeAdminIdentify;
        built.cdw10 = kNvmeIdentifyController;
        built.data_len = kNvmeIdentifyLength;
    } else if (query.propertyId == kDeviceProtocolSpecificProperty &&
               query.dataType == kNvmeDataTypeIdentify &&
               query.requestValue == kNvmeIdentifyNamespace && query.requestSubValue == 1) {
        built.opcode = kNvmeAdminIdentify;
        built.nsid = 1;
        built.cdw10 = kNvmeIdentifyNamespace;
        built.data_len = kNvmeIdentifyLength;
    } else if (query.propertyId == kAdapterProtocolSpecificProperty &&
               query.dataType == kNvmeDataTypeLogPage && query.requestValue == kNvmeHealthLogPage &&
               query.requestSubValue == 0) {
        built.opcode = kNvmeAdminGetLogPage;
        built.nsid = kNvmeAllNamespaces;
        built.cdw10 = kNvmeHealthLogCdw10;
        built.data_len = kNvmeHealthLogLength;
    } else if (query.propertyId == kAdapterProtocolSpecificProperty &&
               query.dataType == kNvmeDataTypeLogPage &&
               query.requestValue == kNvmeSelfTestLogPage && query.requestSubValue == 0) {
        built.opcode = kNvmeAdminGetLogPage;
        built.nsid = kNvmeAllNamespaces;
        built.cdw10 = kNvmeSelfTestLogCdw10;
        built.data_len = kNvmeSelfTestLogLength;
    } else {
        return false;
    }
    if (data == nullptr || query.length < built.data_len) {
        return false;
    }
    built.addr = reinterpret_cast<uintptr_t>(data);
    *command = built;
    return true;
}

bool IsPermittedNvmeAdmin(const nvme_admin_cmd& command, bool selfTests) {
    // Every field the commands leave at 0 must be 0: no metadata, no PRP or
    // SGL flags, no other dwords that could widen a command.
    if (command.flags != 0 || command.rsvd1 != 0 || command.cdw2 != 0 || command.cdw3 != 0 ||
        command.metadata != 0 || command.metadata_len != 0 || command.cdw11 != 0 ||
        command.cdw12 != 0 || command.cdw13 != 0 || command.cdw14 != 0 || command.cdw15 != 0) {
        return false;
    }
    // Device Self-test moves no data: short, extended or abort, to every
    // namespace.
    if (command.opcode == kNvmeAdminDeviceSelfTest) {
        return selfTests && command.addr == 0 && command.data_len == 0 &&
               command.nsid == kNvmeAllNamespaceIds && IsNvmeSelfTestCode(command.cdw10);
    }
    if (command.addr == 0) {
        return false;
    }
    if (command.opcode == kNvmeAdminIdentify) {
        const bool controller = command.cdw10 == kNvmeIdentifyController && command.nsid == 0;
        const bool nameSpace = command.cdw10 == kNvmeIdentifyNamespace && command.nsid == 1;
        return (controller || nameSpace) && command.data_len == kNvmeIdentifyLength;
    }
    if (command.opcode == kNvmeAdminGetLogPage) {
        return command.nsid == kNvmeAllNamespaces && ((command.cdw10 == kNvmeHealthLogCdw10 &&
                                                       command.data_len == kNvmeHealthLogLength) ||
                                                      (command.cdw10 == kNvmeSelfTestLogCdw10 &&
                                                       command.data_len == kNvmeSelfTestLogLength));
    }
    return false;
}

std::string MissingRights(const std::vector<std::string>& positions, bool rawIo, bool sysAdmin) {
    std::string firstDisk;
    std::string firstController;
    for (const std::string& name : positions) {
        std::string& first = IsNvmeControllerName(name) ? firstController : firstDisk;
        if (first.empty()) {
            first = name;
        }
    }
    const bool disks = !firstDisk.empty();
    const bool controllers = !firstController.empty();
    if ((disks && rawIo) || (controllers && sysAdmin) || (!disks && !controllers)) {
        return std::string();
    }
    std::string message = "reading SMART data from /dev/" + (disks ? firstDisk : firstController);
    if (disks && controllers) {
        message += " needs root (CAP_SYS_RAWIO for ATA disks, CAP_SYS_ADMIN for NVMe)";
    } else if (disks) {
        message += " needs root (CAP_SYS_RAWIO)";
    } else {
        message += " needs root (CAP_SYS_ADMIN for NVMe)";
    }
    return message + ": run as root";
}

bool HasRawIoCapability(const std::string& procStatus, bool* known) {
    return HasCapability(procStatus, kCapSysRawIo, known);
}

bool HasCapability(const std::string& procStatus, int capability, bool* known) {
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
        return any && capability >= 0 && capability < 64 && ((mask >> capability) & 1) != 0;
    }
    return false;
}

LinuxDriver::LinuxDriver(LinuxSystem system, bool selfTests)
    : system_(std::move(system)), selfTests_(selfTests) {}

LinuxDriver::~LinuxDriver() {
    for (auto& open : handles_) {
        system_.closeDevice(open.second.fd);
    }
}

uint32_t LinuxDriver::PlatformId() {
    return kPlatformWindowsNt;
}

// The disks behind the positions, listed once, at the first open or the
// first name asked for (--device matches names before any open).
void LinuxDriver::ListDisks() {
    if (!listed_) {
        disks_ = SelectDrivePositions(system_.listDeviceNames());
        listed_ = true;
    }
}

void LinuxDriver::DeviceName(int position, char* name, uint32_t size) {
    ListDisks();
    if (position < 0 || static_cast<size_t>(position) >= disks_.size() || size == 0) {
        SmartDriver::DeviceName(position, name, size);
        return;
    }
    std::snprintf(name, size, "/dev/%s", disks_[position].c_str());
}

bool LinuxDriver::HasDevice(int position) {
    ListDisks();
    return position >= 0 && static_cast<size_t>(position) < disks_.size();
}

void LinuxDriver::ExpectDevice(int position, uint64_t deviceNumber) {
    if (position >= 0 && position < kLinuxMaxPositions) {
        expected_[position] = deviceNumber;
    }
}

void LinuxDriver::NoteNoRights(const Disk& disk, int error) {
    denied_ = true;
    if (rightsNoted_) {
        return;
    }
    rightsNoted_ = true;
    if (system_.notice) {
        system_.notice(disk.path + ": " + std::strerror(error) +
                       (disk.nvme ? ": reading the NVMe health log needs root (CAP_SYS_ADMIN)"
                                  : ": reading SMART data needs root (CAP_SYS_RAWIO)") +
                       "; run as root");
    }
}

DeviceHandle LinuxDriver::Open(const char* name, uint32_t access, uint32_t, uint32_t disposition,
                               uint32_t* error) {
    uint32_t unused = 0;
    uint32_t& why = error ? *error : unused;
    why = kErrorFileNotFound;
    denied_ = false;
    const size_t prefix = sizeof kPhysicalDrivePrefix - 1;
    if (name == nullptr || disposition != kOpenExisting ||
        std::strncmp(name, kPhysicalDrivePrefix, prefix) != 0) {
        return VANTREL_INVALID_DEVICE;
    }
    // The drive number as Windows writes it: decimal, no leading zero.
    const char* digits = name + prefix;
    const size_t length = std::strlen(digits);
    if (length == 0 || length > 2 || (digits[0] == '0' && length > 1)) {
        return VANTREL_INVALID_DEVICE;
    }
    int position = 0;
    for (size_t i = 0; i < length; ++i) {
        if (digits[i] < '0' || digits[i] > '9') {
            return VANTREL_INVALID_DEVICE;
        }
        position = position * 10 + (digits[i] - '0');
    }
    ListDisks();
    if (position >= kLinuxMaxPositions || static_cast<size_t>(position) >= disks_.size()) {
        return VANTREL_INVALID_DEVICE;
    }
    const bool nvme = IsNvmeControllerName(disks_[position]);
    Disk disk{-1, position, access, "/dev/" + disks_[position], 0, nvme, false};
    disk.fd = nvme ? system_.openController(disks_[position]) : system_.openDevice(disk.path);
    if (disk.fd < 0) {
        // Anything but missing rights (no medium, a vanished device) leaves
        // the position empty without a word, as Windows would.
        if (IsLackOfRights(errno)) {
            NoteNoRights(disk, errno);
            why = kErrorAccessDenied;
        }
        return VANTREL_INVALID_DEVICE;
    }
    // The disk the user's name stood for when it was resolved, or nothing:
    // a link changed since, or another disk took the kernel name.
    struct stat opened;
    if (expected_[position] != 0 &&
        (fstat(disk.fd, &opened) != 0 || opened.st_rdev != expected_[position])) {
        system_.closeDevice(disk.fd);
        return VANTREL_INVALID_DEVICE;
    }
    bool answers = false;
    if (nvme) {
        // A controller that cannot identify itself has nothing to show.
        std::vector<uint8_t> probe(kNvmeIdentifyLength);
        nvme_admin_cmd command;
        answers = BuildNvmeAdmin(IdentifyControllerQuery(), probe.data(), &command) &&
                  Admin(disk, &command);
    } else {
        // IDENTIFY would spin a sleeping disk up: one that says it is in
        // standby is an ATA disk, and is told apart only if the scan wakes it.
        uint8_t count = 0;
        disk.kindPending =
            CheckPowerMode(disk, &count) && DecodePowerMode(count) == PowerMode::kStandby;
        disk.deviceMap = disk.kindPending ? 0 : IdentifyKind(disk);
        answers = disk.kindPending || disk.deviceMap != 0;
    }
    if (!answers) {
        // Not an IDE drive (or an NVMe controller that does not answer): the
        // position stays empty, as on Windows, where such a disk has no
        // SMART version to give; the positions after it keep their numbers.
        system_.closeDevice(disk.fd);
        why = denied_ ? kErrorAccessDenied : kErrorNotSupported;
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
    } else if (open->second.nvme) {
        // Windows' NVMe driver knows no SMART control; it answers the
        // property query alone.
        if (code == kStorageQueryProperty) {
            result =
                NvmeProperty(open->second, input, inputLength, output, outputLength, &returned);
        } else if (code == kStorageProtocolCommand) {
            result =
                NvmeSelfTest(open->second, input, inputLength, output, outputLength, &returned);
        }
    } else if (code == kAtaPassThroughControl) {
        result =
            PowerModeControl(open->second, input, inputLength, output, outputLength, &returned) ||
            SelfTestControl(open->second, input, inputLength, output, outputLength, &returned);
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

// CHECK POWER MODE, non-data with CK_COND: its answer is the count register
// the translation layer returns in the sense data; without the registers
// (a SCSI disk, a bridge that drops them) the mode is not known.
bool LinuxDriver::CheckPowerMode(const Disk& disk, uint8_t* count) {
    IdeRegs regs;
    std::memset(&regs, 0, sizeof regs);
    regs.bCommandReg = kAtaCheckPowerMode;
    PassThroughCommand command;
    uint8_t unused[kSectorLength];
    AtaStatusReturn registers;
    if (!BuildPassThrough(kAtaPassThroughControl, regs, &command) ||
        !Execute(disk, command, unused, &registers) || !registers.present) {
        return false;
    }
    *count = registers.count;
    return true;
}

// IOCTL_ATA_PASS_THROUGH as the NT driver answers CHECK POWER MODE, the one
// command it carries here, to a handle opened for reading and writing.
int LinuxDriver::PowerModeControl(const Disk& disk, const void* input, uint32_t inputLength,
                                  void* output, uint32_t outputLength, uint32_t* returned) {
    const uint32_t readWrite = kGenericRead | kGenericWrite;
    uint8_t count = 0;
    const uint32_t layout = CheckPowerModeLayout(input, inputLength, CallerBits::kNative);
    if (layout == 0 || outputLength < inputLength || (disk.access & readWrite) != readWrite ||
        !CheckPowerMode(disk, &count)) {
        return 0;
    }
    *returned = AnswerCheckPowerMode(input, layout, count, output);
    return 1;
}

// IOCTL_ATA_PASS_THROUGH carrying a self-test routine the NT disk driver
// takes only this way (conveyance, abort), to a handle opened for reading
// and writing; the drive's refusal comes back in the record's status, as
// the NT driver returns it.
int LinuxDriver::SelfTestControl(const Disk& disk, const void* input, uint32_t inputLength,
                                 void* output, uint32_t outputLength, uint32_t* returned) {
    const uint32_t readWrite = kGenericRead | kGenericWrite;
    uint8_t routine = 0;
    const uint32_t layout = SelfTestLayout(input, inputLength, CallerBits::kNative, &routine);
    IdeRegs regs;
    std::memset(&regs, 0, sizeof regs);
    regs.bFeaturesReg = kSmartExecuteOffline;
    regs.bSectorNumberReg = routine;
    regs.bCylLowReg = kSmartCylLow;
    regs.bCylHighReg = kSmartCylHigh;
    regs.bCommandReg = kAtaSmart;
    PassThroughCommand command;
    if (layout == 0 || outputLength < inputLength || (disk.access & readWrite) != readWrite ||
        !BuildPassThrough(kAtaPassThroughControl, regs, &command, selfTests_)) {
        return 0;
    }
    uint8_t unused[kSectorLength];
    *returned = AnswerSelfTest(input, layout, Execute(disk, command, unused), output);
    return 1;
}

int LinuxDriver::Version(Disk& disk, void* output, uint32_t outputLength, uint32_t* returned) {
    if (outputLength < sizeof(SmartVersion)) {
        return 0;
    }
    if (disk.kindPending) {
        disk.kindPending = false;
        disk.deviceMap = IdentifyKind(disk);
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
    if (!BuildPassThrough(code, record.irDriveRegs, &command, selfTests_)) {
        return 0;
    }
    const bool data = command.transfer == AtaTransfer::kFromDevice;
    // SMART RETURN STATUS answers in registers, which the NT driver hands
    // back as an IDEREGS after the head.
    const bool returnStatus =
        code == kSmartSendDriveCommand && record.irDriveRegs.bFeaturesReg == kSmartReturnStatus;
    const uint32_t needed =
        returnStatus ? kReturnStatusReplyLength : kReplyHeadLength + command.transferLength;
    if (outputLength < needed) {
        return 0;
    }
    // The largest read: the Device Statistics log's eight pages.
    uint8_t block[kMaxStatisticsPages * kSectorLength];
    AtaStatusReturn registers;
    if (!Execute(disk, command, block, &registers) || (returnStatus && !registers.present)) {
        return 0;
    }
    uint8_t* reply = static_cast<uint8_t*>(output);
    std::memset(reply, 0, kReplyHeadLength);
    if (returnStatus) {
        IdeRegs regs;
        std::memset(&regs, 0, sizeof regs);
        regs.bFeaturesReg = registers.error;
        regs.bSectorCountReg = registers.count;
        regs.bCylLowReg = registers.lbaMid;
        regs.bCylHighReg = registers.lbaHigh;
        regs.bCommandReg = registers.status;
        PutLittleEndian(reply, sizeof regs);
        std::memcpy(reply + kReplyHeadLength, &regs, sizeof regs);
        *returned = needed;
    } else if (data) {
        PutLittleEndian(reply, command.transferLength);
        std::memcpy(reply + kReplyHeadLength, block, command.transferLength);
        *returned = needed;
    } else {
        *returned = kReplyHeadLength;
    }
    return 1;
}

bool LinuxDriver::Execute(const Disk& disk, const PassThroughCommand& command, uint8_t* data,
                          AtaStatusReturn* registers) {
    if (!IsPermittedPassThrough(command, selfTests_)) {
        return false;
    }
    PassThroughCommand sent = command;  // SG_IO takes a non-const CDB pointer
    uint8_t sense[64];
    std::memset(sense, 0, sizeof sense);
    std::memset(data, 0, sent.transferLength);
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
            NoteNoRights(disk, errno);
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
    if (registers) {
        *registers = FindAtaStatus(reply.sense, reply.senseLength);
    }
    return PassThroughSucceeded(sent, reply);
}

int LinuxDriver::NvmeProperty(const Disk& disk, const void* input, uint32_t inputLength,
                              void* output, uint32_t outputLength, uint32_t* returned) {
    NvmeQuery query;
    if (!ReadNvmeQuery(static_cast<const uint8_t*>(input), inputLength, &query)) {
        return 0;
    }
    // The scan hands one buffer as input and output: the query is read
    // before anything is written.
    std::vector<uint8_t> data(kNvmeIdentifyLength);
    nvme_admin_cmd command;
    if (!BuildNvmeAdmin(query, data.data(), &command) ||
        outputLength < kProtocolDataStart + command.data_len || !Admin(disk, &command)) {
        return 0;
    }
    // STORAGE_PROTOCOL_DATA_DESCRIPTOR, as Windows' driver fills it in:
    // Version and Size are its own size, the data right after the record.
    uint8_t* reply = static_cast<uint8_t*>(output);
    std::memset(reply, 0, kProtocolDataStart);
    PutWord32(reply, kProtocolDataStart);
    PutWord32(reply + 4, kProtocolDataStart);
    PutProtocolRecord(reply + kProtocolRecordOffset, query, command.data_len);
    std::memcpy(reply + kProtocolDataStart, data.data(), command.data_len);
    *returned = kProtocolDataStart + command.data_len;
    return 1;
}

// IOCTL_STORAGE_PROTOCOL_COMMAND with the Device Self-test, to a handle
// opened for reading and writing: the record comes back with its status.
int LinuxDriver::NvmeSelfTest(const Disk& disk, const void* input, uint32_t inputLength,
                              void* output, uint32_t outputLength, uint32_t* returned) {
    const uint32_t readWrite = kGenericRead | kGenericWrite;
    const uint8_t code = NvmeSelfTestCommandCode(input, inputLength);
    if (code == 0 || outputLength < kProtocolCommandLength ||
        (disk.access & readWrite) != readWrite) {
        return 0;
    }
    nvme_admin_cmd command;
    std::memset(&command, 0, sizeof command);
    command.opcode = kNvmeAdminDeviceSelfTest;
    command.nsid = kNvmeAllNamespaceIds;
    command.cdw10 = code;
    const bool accepted = Admin(disk, &command);
    std::memcpy(output, input, kProtocolCommandLength);
    PutWord32(static_cast<uint8_t*>(output) + kProtocolCommandReturnStatus,
              accepted ? kProtocolStatusSuccess : kProtocolStatusError);
    *returned = kProtocolCommandLength;
    return 1;
}

bool LinuxDriver::Admin(const Disk& disk, nvme_admin_cmd* command) {
    if (!IsPermittedNvmeAdmin(*command, selfTests_)) {
        return false;
    }
    command->timeout_ms = kCommandTimeoutMs;
    command->result = 0;
    const int status = system_.nvmeAdmin(disk.fd, command);
    if (status < 0) {
        if (IsLackOfRights(errno)) {
            NoteNoRights(disk, errno);
        }
        return false;
    }
    // Above 0 the controller's status: the command failed.
    return status == 0;
}
