// The demo program's machine: the sample drive captures built into the
// executable, replayed on the emulated driver of the family the system
// reports, so that the demo takes the same scan path as the product would.
#include <string>

#include "capture/capture.h"
#include "drive_backends/emulated_driver.h"
#include "drive_backends/windows_driver.h"
#include "resources/resource.h"
#include "ui/globals.h"
#include "ui/program_driver.h"

namespace {

void LoadSampleDrive(EmulatedDriver* driver, int position) {
    HRSRC found = FindResourceA(g_hInstance, MAKEINTRESOURCEA(IDR_SAMPLE_DRIVE_0 + position),
                                MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!found) {
        return;  // an empty position
    }
    HGLOBAL loaded = LoadResource(g_hInstance, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) {
        return;
    }
    DriveCapture capture;
    std::string error;
    if (ParseCapture(static_cast<const uint8_t*>(bytes), SizeofResource(g_hInstance, found),
                     "sample drive", &capture, &error)) {
        driver->InsertDrive(position, capture);
    }
}

}  // namespace

SmartDriver& ProgramDriver() {
    static EmulatedDriver driver(WindowsPlatformId());
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        for (int position = 0; position < 4; ++position) {
            LoadSampleDrive(&driver, position);
        }
    }
    return driver;
}
