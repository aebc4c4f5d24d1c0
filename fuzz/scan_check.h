// What the way from drive data to text promises for any drive a machine can
// hold: the scan leaves no device open and a consistent inventory; the drive
// list names match the reports; both report variants fit their buffers, end
// every line in CR LF and differ only in their known white space; the export
// lists exactly the drive's attributes, each with one of the three verdicts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Scans the machine that the bytes describe (fuzz/scan_input.h) and checks
// everything built from it. Returns an empty string when every promise
// holds, else what broke.
std::string CheckScanPath(const uint8_t* data, size_t size);
