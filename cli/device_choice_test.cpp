#include "cli/device_choice.h"

#include <gtest/gtest.h>

#include "cli/device_path.h"

namespace {

TEST(DeviceChoiceTest, ANamespaceStandsForItsController) {
    const struct {
        const char* path;
        const char* device;
    } cases[] = {
        {"/dev/nvme0n1", "/dev/nvme0"}, {"/dev/nvme12n3", "/dev/nvme12"},
        {"/dev/nvme0", "/dev/nvme0"},   {"/dev/nvme0n1p2", "/dev/nvme0n1p2"},  // a partition
        {"/dev/nvme0n", "/dev/nvme0n"}, {"/dev/nvmen1", "/dev/nvmen1"},
        {"/dev/sda", "/dev/sda"},       {"/dev/nvme-fabrics", "/dev/nvme-fabrics"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.device, ControllerOfNamespace(c.path)) << c.path;
    }
}

}  // namespace
