// The replay driver (replay_driver.h) for the tests: it also records every
// call the scan makes, with the exact bytes passed in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "drive_backends/replay_driver.h"

struct DriverCall {
    enum Kind { kOpen, kIoControl, kClose } kind;
    std::string name;  // kOpen: the device name
    uint32_t access = 0;
    uint32_t shareMode = 0;
    uint32_t disposition = 0;
    DeviceHandle handle = nullptr;  // kOpen: the handle returned
    uint32_t code = 0;
    std::vector<uint8_t> input;  // the exact bytes passed in
    uint32_t inputLength = 0;
    uint32_t outputLength = 0;
    int result = 0;
};

class EmulatedDriver : public ReplayDriver {
  public:
    explicit EmulatedDriver(uint32_t platformId = kPlatformWindowsNt) : ReplayDriver(platformId) {}
    // A run that owns the driver ends it: its calls are copied to the sink.
    ~EmulatedDriver() override {
        if (sink_) {
            *sink_ = calls_;
        }
    }
    void KeepCallsIn(std::vector<DriverCall>* sink) { sink_ = sink; }

    // A packet device: answers IDENTIFY PACKET DEVICE only.
    void InsertPacketDevice(int position, const uint8_t identify[512]);
    void RemoveDrive(int position);
    void FailStep(int position, ScanStep step);

    const std::vector<DriverCall>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }

    DeviceHandle Open(const char* name, uint32_t access, uint32_t shareMode, uint32_t disposition,
                      uint32_t* error = nullptr) override;
    int IoControl(DeviceHandle device, uint32_t code, const void* input, uint32_t inputLength,
                  void* output, uint32_t outputLength, uint32_t* bytesReturned) override;
    int Close(DeviceHandle device) override;

  private:
    std::vector<DriverCall> calls_;
    std::vector<DriverCall>* sink_ = nullptr;
};
