// The sample drives built into the demo program and used by the README's run
// command: two drives of one model at positions 0 and 2 (the second worn,
// with a FAIL and a WARNING attribute), none at 1, and a drive without SMART
// data at 3.
#pragma once

#include <string>
#include <vector>

#include "capture/capture.h"

struct SampleDrive {
    std::string file;  // name under samples/
    int position;
    DriveCapture capture;
};

std::vector<SampleDrive> MakeSampleDrives();
