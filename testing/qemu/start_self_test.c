/* Test-only: starts a self-test on a disk with SMART EXECUTE OFF-LINE
   IMMEDIATE, which vantrel-report never sends, so that the disk's self-test
   log has entries for vantrel-report to read. Runs in the QEMU guest.
     start-self-test DEVICE SUBCOMMAND   (1 short, 2 extended, offline)
   Exit status 0 when the disk took the command. */
#include <fcntl.h>
#include <scsi/sg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: start-self-test DEVICE SUBCOMMAND\n");
        return 2;
    }
    const int fd = open(argv[1], O_RDWR | O_NONBLOCK);
    if (fd < 0) {
        perror(argv[1]);
        return 1;
    }
    /* ATA PASS-THROUGH (16), non-data, CK_COND: FEATURES D4h, LBA 7:0 the
       sub-command, LBA 23:8 the SMART signature, COMMAND B0h. */
    unsigned char cdb[16] = {0x85, 3 << 1, 0x20, 0, 0xD4, 0,    0,    0,
                             0,    0,      0x4F, 0, 0xC2, 0xA0, 0xB0, 0};
    cdb[8] = (unsigned char)strtoul(argv[2], NULL, 0);
    unsigned char sense[32];
    sg_io_hdr_t io;
    memset(&io, 0, sizeof io);
    memset(sense, 0, sizeof sense);
    io.interface_id = 'S';
    io.cmd_len = sizeof cdb;
    io.cmdp = cdb;
    io.mx_sb_len = sizeof sense;
    io.sbp = sense;
    io.dxfer_direction = SG_DXFER_NONE;
    io.timeout = 20000;
    const int result = ioctl(fd, SG_IO, &io);
    close(fd);
    /* The ATA status of the descriptor-format sense: ERR (bit 0) is a refusal. */
    const int refused = (sense[0] & 0x7F) == 0x72 && sense[8] == 0x09 && (sense[21] & 0x01);
    if (result < 0 || io.host_status != 0 || (io.driver_status & ~0x08) != 0 || refused) {
        fprintf(stderr, "%s: SMART EXECUTE OFF-LINE IMMEDIATE %s was refused\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
