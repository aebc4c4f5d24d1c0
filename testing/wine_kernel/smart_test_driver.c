/* A stand-in for the machine's SMART drivers, for tests only and never
   shipped: a kernel-mode driver that Wine loads into winedevice.exe. It
   serves \\.\SMARTVSD (the Windows 9x driver) and \\.\PhysicalDrive0 to 19
   (the NT disk driver's SMART interface, and the NVMe driver's property
   query) from drive captures, answering through the same rules as the
   emulated driver, and logs every request it gets, so that the unmodified
   product can be watched through the kernel.

   Service parameters (REG_SZ, NT paths): DriveN or PacketN names the capture
   of position N (a packet device answers IDENTIFY PACKET DEVICE only; an
   NVMe capture makes an NVMe drive), Log the file the log is written to. */
#include <ntddk.h>
#include <stdio.h>

#include "testing/wine_kernel/caller_bits.h"
#include "testing/wine_kernel/drive_bays.h"

enum { kMaxLoggedInput = 64, kNameLength = 40 };
#define POOL_TAG 0x6D536156 /* "VaSm" */

typedef struct {
    int position; /* DRIVE_BAY_ALL_POSITIONS for SMARTVSD */
    char name[kNameLength];
    wchar_t device[kNameLength];
    wchar_t link[kNameLength];
    BOOLEAN linked;
} DeviceState;

static HANDLE g_log;
/* SMARTVSD, then one physical drive per position. */
static DeviceState g_devices[1 + DRIVE_BAY_COUNT];
enum { kDeviceCount = sizeof g_devices / sizeof g_devices[0] };

/* An ASCII text as a wide one; the names here are plain ASCII. */
static void Widen(const char* text, wchar_t* wide, size_t wideLength) {
    size_t i;
    for (i = 0; i + 1 < wideLength && text[i]; ++i) {
        wide[i] = (wchar_t)(unsigned char)text[i];
    }
    wide[i] = L'\0';
}

static void NameDevices(void) {
    int i;
    for (i = 0; i < kDeviceCount; ++i) {
        DeviceState* state = &g_devices[i];
        char text[kNameLength];
        state->position = i == 0 ? DRIVE_BAY_ALL_POSITIONS : i - 1;
        if (i == 0) {
            _snprintf(state->name, sizeof state->name, "SMARTVSD");
            _snprintf(text, sizeof text, "\\Device\\VantrelSmartVsd");
        } else {
            _snprintf(state->name, sizeof state->name, "PhysicalDrive%d", state->position);
            _snprintf(text, sizeof text, "\\Device\\VantrelDrive%d", state->position);
        }
        Widen(text, state->device, kNameLength);
        _snprintf(text, sizeof text, "\\DosDevices\\%s", state->name);
        Widen(text, state->link, kNameLength);
        state->linked = FALSE;
    }
}

static void Log(const char* line) {
    IO_STATUS_BLOCK io;
    DbgPrint("vantrel-smart: %s", line);
    if (g_log) {
        ZwWriteFile(g_log, NULL, NULL, NULL, &io, (void*)line, (ULONG)strlen(line), NULL, NULL);
    }
}

static NTSTATUS OpenFile(const wchar_t* path, ACCESS_MASK access, ULONG disposition, HANDLE* file) {
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes;
    IO_STATUS_BLOCK io;
    RtlInitUnicodeString(&name, path);
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL,
                               NULL);
    return ZwCreateFile(file, access | SYNCHRONIZE, &attributes, &io, NULL, FILE_ATTRIBUTE_NORMAL,
                        FILE_SHARE_READ, disposition, FILE_SYNCHRONOUS_IO_NONALERT, NULL, 0);
}

/* One REG_SZ value of the Parameters key into text, NUL-terminated. */
static BOOLEAN ReadParameter(HANDLE key, const wchar_t* valueName, wchar_t* text, ULONG textBytes) {
    UNICODE_STRING name;
    UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + 1024];
    const KEY_VALUE_PARTIAL_INFORMATION* value = (const KEY_VALUE_PARTIAL_INFORMATION*)buffer;
    ULONG size = 0;
    RtlInitUnicodeString(&name, valueName);
    if (!NT_SUCCESS(ZwQueryValueKey(key, &name, KeyValuePartialInformation, buffer, sizeof buffer,
                                    &size)) ||
        value->Type != REG_SZ || value->DataLength + sizeof(wchar_t) > textBytes) {
        return FALSE;
    }
    RtlZeroMemory(text, textBytes);
    RtlCopyMemory(text, value->Data, value->DataLength);
    return TRUE;
}

static BOOLEAN LoadCapture(const wchar_t* path, int position, int packet, char* problem,
                           size_t problemSize) {
    /* One byte past the limit, so that an oversized file is told apart. */
    const ULONG bufferSize = DRIVE_BAY_MAX_CAPTURE + 1;
    HANDLE file;
    IO_STATUS_BLOCK io;
    UCHAR* data;
    BOOLEAN ok = FALSE;
    NTSTATUS status = OpenFile(path, GENERIC_READ, FILE_OPEN, &file);
    if (!NT_SUCCESS(status)) {
        _snprintf(problem, problemSize, "cannot open (status %08lX)", (unsigned long)status);
        return FALSE;
    }
    data = ExAllocatePoolWithTag(PagedPool, bufferSize, POOL_TAG);
    if (!data) {
        _snprintf(problem, problemSize, "out of memory");
    } else {
        int faultKind = 0;
        size_t faultOffset = 0;
        io.Information = 0;
        status = ZwReadFile(file, NULL, NULL, NULL, &io, data, bufferSize, NULL, NULL);
        if (!NT_SUCCESS(status)) {
            _snprintf(problem, problemSize, "read error (status %08lX)", (unsigned long)status);
        } else if (!FitDriveBay(position, packet, data, io.Information, &faultKind, &faultOffset)) {
            _snprintf(problem, problemSize, "not a capture (fault %d at offset %lu)", faultKind,
                      (unsigned long)faultOffset);
        } else {
            ok = TRUE;
        }
        ExFreePoolWithTag(data, POOL_TAG);
    }
    ZwClose(file);
    return ok;
}

static NTSTATUS LoadParameters(PUNICODE_STRING registryPath) {
    static wchar_t keyPath[512];
    static wchar_t path[512];
    UNICODE_STRING keyName;
    OBJECT_ATTRIBUTES attributes;
    HANDLE key;
    NTSTATUS status;
    int position;
    RtlInitEmptyUnicodeString(&keyName, keyPath, sizeof keyPath);
    RtlCopyUnicodeString(&keyName, registryPath);
    RtlAppendUnicodeToString(&keyName, L"\\Parameters");
    InitializeObjectAttributes(&attributes, &keyName, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               NULL, NULL);
    status = ZwOpenKey(&key, KEY_READ, &attributes);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (ReadParameter(key, L"Log", path, sizeof path)) {
        OpenFile(path, FILE_APPEND_DATA, FILE_OVERWRITE_IF, &g_log);
    }
    for (position = 0; position < DRIVE_BAY_COUNT; ++position) {
        int packet;
        for (packet = 0; packet < 2; ++packet) {
            char text[16];
            wchar_t valueName[16];
            char problem[96];
            char line[160];
            _snprintf(text, sizeof text, packet ? "Packet%d" : "Drive%d", position);
            Widen(text, valueName, sizeof valueName / sizeof valueName[0]);
            if (!ReadParameter(key, valueName, path, sizeof path)) {
                continue;
            }
            if (!LoadCapture(path, position, packet, problem, sizeof problem)) {
                _snprintf(line, sizeof line, "capture of position %d: %s\n", position, problem);
                Log(line);
                status = STATUS_INVALID_PARAMETER;
            }
        }
    }
    ZwClose(key);
    return status;
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static const DeviceState* StateOf(PDEVICE_OBJECT device) {
    return *(const DeviceState**)device->DeviceExtension;
}

static NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
    const PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    char line[128];
    _snprintf(line, sizeof line, "%s open share=%u\n", StateOf(device)->name,
              (unsigned)stack->Parameters.Create.ShareAccess);
    Log(line);
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI DispatchClose(PDEVICE_OBJECT device, PIRP irp) {
    char line[64];
    _snprintf(line, sizeof line, "%s close\n", StateOf(device)->name);
    Log(line);
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI DispatchCleanup(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
    const DeviceState* state = StateOf(device);
    const PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const ULONG inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG outputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    /* The SMART I/O controls and the property query are buffered: input
       and output share one system buffer, so the input is kept before the
       answer overwrites it. */
    const BOOLEAN buffered = (code & 3) == METHOD_BUFFERED;
    UCHAR* buffer = irp->AssociatedIrp.SystemBuffer;
    UCHAR* input = NULL;
    char line[64 + 2 * kMaxLoggedInput + 64];
    int used;
    ULONG i;
    uint32_t returned = 0;
    int ok = 0;
    if (buffered && inputLength > 0 && buffer) {
        input = ExAllocatePoolWithTag(NonPagedPool, inputLength, POOL_TAG);
        if (input) {
            RtlCopyMemory(input, buffer, inputLength);
        }
    }
    used = _snprintf(line, sizeof line, "%s ioctl=%08lX in=%lu out=%lu bytes=", state->name,
                     (unsigned long)code, (unsigned long)inputLength, (unsigned long)outputLength);
    for (i = 0; input && i < inputLength && i < kMaxLoggedInput; ++i) {
        used += _snprintf(line + used, sizeof line - used, "%02X", input[i]);
    }
    if (buffered && (input || inputLength == 0)) {
        ok = AnswerDriveBayIoControl(state->position, CallerIs32Bit(irp), code, input, inputLength,
                                     outputLength ? buffer : NULL, outputLength, &returned);
    }
    if (ok) {
        _snprintf(line + used, sizeof line - used, " ok returned=%lu\n", (unsigned long)returned);
    } else {
        _snprintf(line + used, sizeof line - used, " failed\n");
    }
    Log(line);
    if (input) {
        ExFreePoolWithTag(input, POOL_TAG);
    }
    return Complete(irp, ok ? STATUS_SUCCESS : STATUS_INVALID_DEVICE_REQUEST, ok ? returned : 0);
}

static void RemoveDevices(PDRIVER_OBJECT driver) {
    int i;
    for (i = 0; i < kDeviceCount; ++i) {
        if (g_devices[i].linked) {
            UNICODE_STRING link;
            RtlInitUnicodeString(&link, g_devices[i].link);
            IoDeleteSymbolicLink(&link);
            g_devices[i].linked = FALSE;
        }
    }
    while (driver->DeviceObject) {
        IoDeleteDevice(driver->DeviceObject);
    }
}

static void NTAPI Unload(PDRIVER_OBJECT driver) {
    RemoveDevices(driver);
    Log("unload\n");
    if (g_log) {
        ZwClose(g_log);
        g_log = NULL;
    }
}

static NTSTATUS CreateDevices(PDRIVER_OBJECT driver) {
    int i;
    for (i = 0; i < kDeviceCount; ++i) {
        UNICODE_STRING deviceName;
        UNICODE_STRING link;
        PDEVICE_OBJECT device;
        NTSTATUS status;
        /* Wine's mount manager holds PhysicalDrive0 for the prefix's own
           disk; the test machine's drives take its place. */
        RtlInitUnicodeString(&link, g_devices[i].link);
        IoDeleteSymbolicLink(&link);
        /* Under Wine a driver cannot refuse an open (the caller keeps its
           handle whatever the create returns), so a device that does not
           open is not there at all, as on a machine without that drive. */
        if (!DriveBayDeviceOpens(g_devices[i].position)) {
            continue;
        }
        RtlInitUnicodeString(&deviceName, g_devices[i].device);
        status = IoCreateDevice(driver, sizeof(DeviceState*), &deviceName, FILE_DEVICE_DISK, 0,
                                FALSE, &device);
        if (!NT_SUCCESS(status)) {
            return status;
        }
        *(DeviceState**)device->DeviceExtension = &g_devices[i];
        device->Flags |= DO_BUFFERED_IO;
        device->Flags &= ~DO_DEVICE_INITIALIZING;
        status = IoCreateSymbolicLink(&link, &deviceName);
        if (!NT_SUCCESS(status)) {
            return status;
        }
        g_devices[i].linked = TRUE;
    }
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    NTSTATUS status;
    driver->DriverUnload = Unload;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
    NameDevices();
    status = LoadParameters(registryPath);
    if (NT_SUCCESS(status)) {
        status = CreateDevices(driver);
    }
    if (!NT_SUCCESS(status)) {
        Unload(driver);
        return status;
    }
    Log("loaded\n");
    return STATUS_SUCCESS;
}
