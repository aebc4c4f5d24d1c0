#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "drive_backends/linux_driver.h"
#include "drive_backends/real_driver.h"

namespace {

std::string ReadProcStatus() {
    std::string text;
    const int file = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return text;
    }
    char chunk[1024];
    ssize_t got;
    while ((got = read(file, chunk, sizeof chunk)) > 0) {
        text.append(chunk, static_cast<size_t>(got));
    }
    close(file);
    return text;
}

void ToStandardError(const std::string& message) {
    std::fprintf(stderr, "vantrel-report: %s\n", message.c_str());
}

}  // namespace

std::unique_ptr<SmartDriver> CreateRealDriver(std::string* unavailable, DriverUse use) {
    // Without CAP_SYS_RAWIO the kernel turns every ATA pass-through away,
    // and without CAP_SYS_ADMIN every NVMe admin command: when no disk at
    // hand could be read, say why once instead of scanning them all into
    // "no drives". Where the capabilities cannot be told, the backend itself
    // notices a refusal.
    const std::string status = ReadProcStatus();
    bool rawIoKnown = false;
    bool sysAdminKnown = false;
    const bool rawIo = HasCapability(status, kCapSysRawIo, &rawIoKnown);
    const bool sysAdmin = HasCapability(status, kCapSysAdmin, &sysAdminKnown);
    LinuxSystem system = RealLinuxSystem(ToStandardError);
    if (rawIoKnown && sysAdminKnown) {
        const std::string missing =
            MissingRights(SelectDrivePositions(system.listDeviceNames()), rawIo, sysAdmin);
        if (!missing.empty()) {
            *unavailable = missing;
            return nullptr;
        }
    }
    return std::unique_ptr<SmartDriver>(
        new LinuxDriver(std::move(system), use == DriverUse::kSelfTests));
}
