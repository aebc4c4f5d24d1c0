// Writes the sample drive captures into a folder (default: samples).
#include <cstdio>
#include <string>

#include "tools/make-samples/sample_drives.h"

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "samples";
    for (const SampleDrive& drive : MakeSampleDrives()) {
        std::string error;
        if (!WriteCaptureFile(folder + "/" + drive.file, drive.capture, &error)) {
            std::fprintf(stderr, "make-samples: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", drive.file.c_str());
    }
    return 0;
}
