// The 18 attribute names the window has always shown, by id: its rows, its
// export and vantrel-report's default report and --window. Written once
// here: vantrel-report's own attribute table (health/attribute_table.cpp)
// takes these names for the same ids, so that a row never changes name
// between the window and the JSON.
#pragma once

#include <cstdint>

struct WindowAttributeName {
    uint8_t id;
    const char* text;
};

inline constexpr WindowAttributeName kWindowAttributeNames[] = {
    {0, "No Attribute Here"},
    {1, "Raw Read Error Rate"},
    {2, "Throughput Performance"},
    {3, "Spin Up Time"},
    {4, "Start/Stop Count"},
    {5, "Reallocated Sector Count"},
    {6, "Read Channel Margin"},
    {7, "Seek Error Rate"},
    {8, "Seek Time Performance"},
    {9, "Power On Hours Count"},
    {10, "Spin Retry Count"},
    {11, "Calibration Retry Count"},
    {12, "Power Cycle Count"},
    {194, "Temperature"},
    {196, "Reallocation Event Count"},
    {197, "Current Pending Sector Count"},
    {198, "Offline Scan Incorrect. Sector Count"},
    {199, "Ultra ATA CRC Error Count"},
    {200, "Write Error Count"},
};

// The window's name of an id, or nullptr where its table has none.
constexpr const char* WindowAttributeText(uint8_t id) {
    for (const WindowAttributeName& name : kWindowAttributeNames) {
        if (name.id == id) {
            return name.text;
        }
    }
    return nullptr;
}
