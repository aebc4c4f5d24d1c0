#include "tools/make-samples/sample_drives.h"

#include "capture/synthetic_capture.h"

namespace {

// Geometry and capabilities of an ordinary 80 GB LBA drive of the UDMA era.
void SetGeometry(DriveCapture* c, uint32_t sectors) {
    const struct {
        int word;
        uint16_t value;
    } words[] = {{0, 0x0C5A}, {1, 16383}, {3, 16},   {6, 63},    {20, 3},    {21, 4096},
                 {22, 4},     {47, 0x8010}, {49, 0x2F00}, {51, 0x0200}, {52, 0x0200}, {53, 7},
                 {54, 16383}, {55, 16},  {56, 63},   {57, 0xFC10}, {58, 0x00FB}, {59, 0x0110},
                 {62, 0},     {63, 0x0407}};
    for (const auto& w : words) {
        SetIdentifyWord(c, w.word, w.value);
    }
    SetIdentifyWord(c, 60, static_cast<uint16_t>(sectors));
    SetIdentifyWord(c, 61, static_cast<uint16_t>(sectors >> 16));
}

DriveCapture Twin(const char* serial, bool worn) {
    DriveCapture c = MakeCapture("CORVANE CV-8040A", serial, "3.AA");
    SetGeometry(&c, 156301488);
    SetAttribute(&c, 0, 1, 100, 99, 24, 6);
    SetAttribute(&c, 1, 3, 97, 97, 1530, 0);
    SetAttribute(&c, 2, 4, 98, 98, 2417, 20);
    // Worn: reallocated sectors below threshold (FAIL), seek errors close to
    // it (WARNING).
    SetAttribute(&c, 3, 5, worn ? 30 : 100, worn ? 30 : 100, worn ? 1873 : 0, 36);
    SetAttribute(&c, 4, 7, worn ? 35 : 86, worn ? 31 : 60, 421337, 30);
    SetAttribute(&c, 5, 9, 91, 91, worn ? 21044 : 8120, 0);
    SetAttribute(&c, 6, 10, 100, 100, 0, 51);
    SetAttribute(&c, 7, 12, 98, 98, 2401, 20);
    SetAttribute(&c, 8, 194, worn ? 54 : 65, 45, worn ? 46 : 35, 0);
    SetAttribute(&c, 9, 197, 100, 100, worn ? 12 : 0, 0);
    SetAttribute(&c, 10, 198, 100, 100, worn ? 9 : 0, 0);
    SetAttribute(&c, 11, 199, 200, 200, 0, 0);
    return c;
}

DriveCapture WithoutSmart() {
    DriveCapture c = MakeCapture("CORVANE CV-2010L", "CV2010L-00417", "1.07");
    SetGeometry(&c, 39102336);
    c.hasStatus = false;
    c.hasSmartData = false;
    c.hasThresholds = false;
    return c;
}

}  // namespace

std::vector<SampleDrive> MakeSampleDrives() {
    return {
        {"CORVANE_CV-8040A--healthy.smart", 0, Twin("CV8040A-40712", false)},
        {"CORVANE_CV-8040A--worn.smart", 2, Twin("CV8040A-31337", true)},
        {"CORVANE_CV-2010L--no-smart.smart", 3, WithoutSmart()},
    };
}
