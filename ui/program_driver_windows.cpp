#include "drive_backends/windows_driver.h"
#include "ui/program_driver.h"

SmartDriver& ProgramDriver() {
    static WindowsDriver driver;
    return driver;
}
