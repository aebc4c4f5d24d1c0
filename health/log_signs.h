// What the drive's own records say about its health, beyond its attributes:
// a self-test that failed, and an uncorrectable error it reported. Most
// logged errors are no sign: an interface CRC error is a cable, an aborted
// or IDNF command a host probing the drive, an aborted self-test the user.
#pragma once

#include <string>

#include "health/drive_health.h"
#include "inventory/smart_logs.h"

// BAD when the most recent self-test that ran to its end failed ("last
// self-test (Short offline) failed: read failure at LBA 123456, at 7042
// hours"); a later pass clears an older failure, and an aborted or
// interrupted test neither clears nor sets anything. Empty otherwise.
std::string SelfTestSign(const SelfTestLog& log);

// CAUTION when a logged error has UNC set ("2 errors logged, the most
// recent uncorrectable at LBA 7454176 (36208 hours)"). Empty otherwise.
std::string ErrorLogSign(const ErrorLog& log);

// Adds both signs (a log that failed its checks gives none) after those
// drawn from the attributes, the failed self-test before the error. A sign
// outweighs an UNKNOWN that only lacked data.
void AddLogSigns(const ErrorLog& errors, const SelfTestLog& selfTests, DriveHealth* health);
