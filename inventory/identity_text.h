// A drive's identity texts (model, serial number, firmware) as every report
// shows them: a line break from the firmware would split the report's line
// and the drive list's name, and could forge a line of its own; it reads as
// the blank it stands in for. The one rule for ATA and NVMe texts alike.
#pragma once

inline char IdentityTextChar(char c) {
    return (c == '\r' || c == '\n') ? ' ' : c;
}
