#include <string>
#include <vector>

#include "drive_backends/real_driver.h"
#include "platform/binary_stdout.h"
#include "platform/dll_search.h"
#include "cli/report_command.h"

int main(int argc, char** argv) {
    // Run as administrator from a folder others may write to.
    RestrictDllSearch();
    // Report bytes go out as written: CR LF must not become CR CR LF.
    SetBinaryStdout();
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunReportCommand(args, stdout, stderr, CreateRealDriver);
}
