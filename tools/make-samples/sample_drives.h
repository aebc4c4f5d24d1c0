// The sample drives built into the demo program and used by the README's run
// command: two drives of one model (one worn, with a FAIL and a WARNING
// attribute), an empty position, and a drive without SMART data.
#pragma once

#include <string>
#include <vector>

#include "inventory/capture.h"

struct SampleDrive {
    std::string file;  // name under samples/
    int position;
    DriveCapture capture;
};

std::vector<SampleDrive> MakeSampleDrives();
