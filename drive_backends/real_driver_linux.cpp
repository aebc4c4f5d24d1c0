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

std::unique_ptr<SmartDriver> CreateRealDriver(std::string* unavailable) {
    // Without CAP_SYS_RAWIO the kernel turns every pass-through away, so
    // when there are disks to read, say why once instead of scanning four
    // positions into "no drives". Where the capability cannot be told, the
    // backend itself notices a refusal.
    bool known = false;
    const bool rawIo = HasRawIoCapability(ReadProcStatus(), &known);
    LinuxSystem system = RealLinuxSystem(ToStandardError);
    if (known && !rawIo) {
        const std::vector<std::string> disks = SelectWholeDisks(system.listDeviceNames());
        if (!disks.empty()) {
            *unavailable = "reading SMART data from /dev/" + disks.front() +
                           " needs root (CAP_SYS_RAWIO): run as root";
            return nullptr;
        }
    }
    return std::unique_ptr<SmartDriver>(new LinuxDriver(std::move(system)));
}
