// The one seam between the drive scan and the operating system. The scan
// needs exactly four kernel services; a backend answers them from the real
// Windows drivers, from an emulated machine, or from another OS's
// pass-through. Nothing above this interface knows which.
#pragma once

#include <cstdint>

typedef void* DeviceHandle;

// The value CreateFileA returns on failure.
#define VANTREL_INVALID_DEVICE (reinterpret_cast<DeviceHandle>(static_cast<intptr_t>(-1)))

// Windows platform ids as GetVersionExA reports them in dwPlatformId.
enum : uint32_t {
    kPlatformWin32s = 0,
    kPlatformWindows9x = 1,  // VER_PLATFORM_WIN32_WINDOWS
    kPlatformWindowsNt = 2,  // VER_PLATFORM_WIN32_NT
};

// CreateFileA arguments, with the platform's values.
enum : uint32_t {
    kGenericRead = 0x80000000u,
    kGenericWrite = 0x40000000u,
    kFileShareRead = 0x1u,
    kFileShareWrite = 0x2u,
    kCreateNew = 1u,
    kOpenExisting = 3u,
};

// Why an open failed, as Windows' GetLastError says it. Only the first two
// mean that nothing is there; a backend of another system answers with the
// code that means the same.
enum : uint32_t {
    kErrorFileNotFound = 2,
    kErrorPathNotFound = 3,
    kErrorAccessDenied = 5,
    kErrorNotSupported = 50,  // a disk that takes neither ATA nor NVMe commands
};

// The SMART I/O control codes, and the NT family's ATA pass-through
// (IOCTL_ATA_PASS_THROUGH, XP SP2 and later), which carries CHECK POWER MODE.
enum : uint32_t {
    kSmartGetVersion = 0x74080u,
    kSmartSendDriveCommand = 0x7C084u,
    kSmartRcvDriveData = 0x7C088u,
    kAtaPassThroughControl = 0x4D02Cu,
};

class SmartDriver {
  public:
    virtual ~SmartDriver() {}

    // dwPlatformId as GetVersionExA would report it.
    virtual uint32_t PlatformId() = 0;

    // CreateFileA with no security attributes, attributes 0 and no template.
    // Returns VANTREL_INVALID_DEVICE on failure, with the reason in *error
    // where asked for, as GetLastError gives it (see the codes below).
    virtual DeviceHandle Open(const char* name, uint32_t access, uint32_t shareMode,
                              uint32_t disposition, uint32_t* error = nullptr) = 0;

    // DeviceIoControl without overlapped I/O. Returns non-zero on success.
    virtual int IoControl(DeviceHandle device, uint32_t code, const void* input,
                          uint32_t inputLength, void* output, uint32_t outputLength,
                          uint32_t* bytesReturned) = 0;

    // CloseHandle. Returns non-zero on success.
    virtual int Close(DeviceHandle device) = 0;

    // The device a drive position was read through, as its user names it,
    // for reports: \\.\PhysicalDriveN on the NT family, SMARTVSD:N on
    // Windows 9x (one device serves all four). A backend that reaches other
    // devices names those. Writes a terminated text into name[0..size).
    virtual void DeviceName(int position, char* name, uint32_t size);

    // Whether a device answers to the position's name, told without
    // opening it, so that no disk is sent anything: the drives a backend
    // lists, the names the system holds. True where it cannot be told
    // (the open then decides).
    virtual bool HasDevice(int position);

    // The device (its number) a name the user gave stood for when it was
    // resolved: a backend whose names can change meanwhile (a link
    // replaced, a disk swapped) opens the position only while it is still
    // that device. Ignored where names cannot change.
    virtual void ExpectDevice(int position, uint64_t deviceNumber);

    // Whether the ATA commands reach the disks through a SCSI/ATA
    // translation layer (Linux's SG_IO), rather than through Windows' SMART
    // controls or a capture: the metrics' interface label tells the two
    // apart, as the exporter's users select them.
    virtual bool TranslatesAta();
};
