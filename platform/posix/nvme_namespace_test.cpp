#include "platform/nvme_namespace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

// A sysfs of three namespaces: nvme0n1 on controller nvme0; nvme1n1 on
// controller nvme3 (a subsystem numbered unlike its controller); nvme2n1
// under native multipath, whose subsystem holds controllers nvme5 and nvme4.
class NvmeNamespaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char folder[] = "/tmp/vantrel-sysfs-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(folder));
        sysfs = folder;
        for (const char* made :
             {"/class", "/class/block", "/class/block/nvme0n1", "/class/block/nvme1n1",
              "/class/block/nvme2n1", "/class/block/sda", "/devices", "/devices/nvme0",
              "/devices/nvme3", "/devices/nvme-subsys2", "/devices/nvme-subsys2/nvme5",
              "/devices/nvme-subsys2/nvme4", "/devices/nvme-subsys2/nvme2n1", "/devices/ata"}) {
            ASSERT_EQ(0, mkdir((sysfs + made).c_str(), 0755)) << made;
        }
        for (const auto& link : {std::make_pair("nvme0n1", "nvme0"),
                                 {"nvme1n1", "nvme3"},
                                 {"nvme2n1", "nvme-subsys2"},
                                 {"sda", "ata"}}) {
            const std::string target = std::string("../../../devices/") + link.second;
            ASSERT_EQ(0, symlink(target.c_str(),
                                 (sysfs + "/class/block/" + link.first + "/device").c_str()));
        }
    }
    void TearDown() override { EXPECT_EQ(0, std::system(("rm -rf '" + sysfs + "'").c_str())); }

    std::string sysfs;
};

TEST_F(NvmeNamespaceTest, ANamespaceStandsForTheControllerSysfsShows) {
    const struct {
        const char* path;
        const char* device;
    } cases[] = {
        {"/dev/nvme0n1", "/dev/nvme0"},
        {"/dev/nvme1n1", "/dev/nvme3"},    // not nvme1: the subsystem's number
        {"/dev/nvme2n1", "/dev/nvme4"},    // multipath: the subsystem's first controller
        {"/dev/nvme7n1", "/dev/nvme7n1"},  // no such namespace in sysfs: as it is
        {"/dev/nvme0", "/dev/nvme0"},
        {"/dev/nvme0n1p2", "/dev/nvme0n1p2"},  // a partition
        {"/dev/nvme0n", "/dev/nvme0n"},
        {"/dev/nvmen1", "/dev/nvmen1"},
        {"/dev/sda", "/dev/sda"},
        {"/dev/nvme-fabrics", "/dev/nvme-fabrics"},
        {"nvme0n1", "nvme0n1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.device, ControllerOfNamespace(c.path, sysfs)) << c.path;
    }
}

}  // namespace
