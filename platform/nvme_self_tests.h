// Whether this system's own driver carries an NVMe drive's Device
// Self-test. Linux's admin command does. On Windows it goes through
// IOCTL_STORAGE_PROTOCOL_COMMAND (Windows 10 1903 and later), which
// vantrel-report does not send yet: such a disk is told so instead.
#pragma once

bool SystemCarriesNvmeSelfTests();
