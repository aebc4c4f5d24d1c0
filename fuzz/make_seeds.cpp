// Writes the fuzzers' seed corpora from drive captures:
//   fuzz-seeds OUTDIR CAPTURE...
// OUTDIR/capture gets each capture as it is; OUTDIR/scan gets machines built
// from them: each drive alone under both driver families, four different
// drives, one model three times, a packet device beside a drive, every
// single failing step, and a drive of 0xFF bytes only.
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/scan_input.h"
#include "capture/capture.h"

namespace {

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::perror(path.c_str());
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return bytes;
    }
    uint8_t chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    std::fclose(file);
    return bytes;
}

ScanInputPosition Ata(const DriveCapture& capture, uint8_t failing = 0) {
    ScanInputPosition position;
    position.kind = kInputAta | (capture.hasSmartData ? kInputHasSmartData : 0) |
                    (capture.hasThresholds ? kInputHasThresholds : 0) |
                    (capture.hasStatus ? kInputHasStatus : 0);
    position.failing = failing;
    position.capture = capture;
    return position;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz-seeds OUTDIR CAPTURE...\n");
        return 2;
    }
    const std::string out = argv[1];
    std::vector<DriveCapture> drives;
    for (int i = 2; i < argc; ++i) {
        const std::string path = argv[i];
        const std::string base = path.substr(path.find_last_of('/') + 1);
        if (!WriteBytes(out + "/capture/" + base, ReadBytes(path))) {
            return 1;
        }
        DriveCapture capture;
        std::string error;
        if (!ReadCaptureFile(path, &capture, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        // The machines below are of ATA drives; an NVMe capture seeds the
        // capture target only.
        if (!capture.IsNvme()) {
            drives.push_back(capture);
        }
    }
    DriveCapture hostile;
    hostile.hasIdentify = hostile.hasSmartData = hostile.hasThresholds = true;
    for (size_t i = 0; i < 512; ++i) {
        hostile.identify[i] = hostile.smartData[i] = hostile.thresholds[i] = 0xFF;
    }
    drives.push_back(hostile);

    std::vector<ScanInput> machines;
    const size_t n = drives.size();
    for (size_t i = 0; i < n; ++i) {
        for (uint8_t platform : {kPlatformWindowsNt, kPlatformWindows9x}) {
            ScanInput alone;
            alone.platform = platform;
            alone.positions[i % 4] = Ata(drives[i]);
            machines.push_back(alone);
        }
        ScanInput four;
        for (int p = 0; p < 4; ++p) {
            four.positions[p] = Ata(drives[(i + p) % n]);
        }
        machines.push_back(four);
        four.platform = kPlatformWindows9x;
        machines.push_back(four);
        ScanInput same;
        same.positions[0] = same.positions[2] = same.positions[3] = Ata(drives[i]);
        machines.push_back(same);
        ScanInput packet;
        packet.positions[0] = Ata(drives[i]);
        packet.positions[1].kind = kInputPacket;
        packet.positions[1].capture = drives[i];
        machines.push_back(packet);
    }
    for (int step = 0; step < kScanStepCount; ++step) {
        for (uint8_t platform : {kPlatformWindowsNt, kPlatformWindows9x}) {
            ScanInput failing;
            failing.platform = platform;
            failing.positions[0] = Ata(drives[0]);
            failing.positions[1] = Ata(drives[n - 1], static_cast<uint8_t>(1u << step));
            machines.push_back(failing);
        }
    }
    for (size_t i = 0; i < machines.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/scan/machine-%03zu", i);
        if (!WriteBytes(out + name, EncodeScanInput(machines[i]))) {
            return 1;
        }
    }
    std::printf("%d captures, %zu machines\n", argc - 2, machines.size());
    return 0;
}
