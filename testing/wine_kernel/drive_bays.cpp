#include "testing/wine_kernel/drive_bays.h"

#include "drive_backends/smart_driver_rules.h"

static_assert(DRIVE_BAY_COUNT <= kDriveBays, "a bay behind every device");
static_assert(DRIVE_BAY_ALL_POSITIONS == kAllPositions, "SMARTVSD serves all positions");
static_assert(DRIVE_BAY_MAX_CAPTURE == kMaxCaptureSize, "the capture size limit");

namespace {

DriveBay g_bays[kDriveBays];
DriveCapture g_captures[DRIVE_BAY_COUNT];

}  // namespace

int FitDriveBay(int position, int packet, const uint8_t* data, size_t size, int* faultKind,
                size_t* faultOffset) {
    DriveBay& bay = g_bays[position];
    CaptureFault fault;
    if (!ReadCaptureSections(data, size, &g_captures[position], &fault)) {
        bay = DriveBay();
        *faultKind = static_cast<int>(fault.kind);
        *faultOffset = fault.offset;
        return 0;
    }
    bay.present = true;
    bay.packet = packet != 0;
    bay.data = &g_captures[position];
    return 1;
}

int DriveBayDeviceOpens(int devicePosition) {
    return devicePosition == kAllPositions ? SmartVxdOpens(g_bays)
                                           : PhysicalDriveOpens(g_bays, devicePosition);
}

// Wine hands a driver's create no access rights (its security context is
// null), so the device takes every handle as opened for reading and
// writing; the product's access is checked against the emulated driver.
int AnswerDriveBayIoControl(int devicePosition, int caller32, uint32_t code, const void* input,
                            uint32_t inputLength, void* output, uint32_t outputLength,
                            uint32_t* returned) {
    return AnswerIoControl(g_bays, devicePosition, kGenericRead | kGenericWrite, code, input,
                           inputLength, output, outputLength, returned,
                           caller32 ? CallerBits::k32 : CallerBits::k64);
}
