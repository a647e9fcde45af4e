/* The least any tool must do to measure a folder of MP3 files: open each file, read its
 * first 4 KiB and its last 128 bytes (where the ID3v1 tag lives), close it. bench/peers.sh
 * times it beside the real tools.
 *
 *   floor FILE...      prints the number of files it could read */

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    unsigned char head[4096];
    unsigned char tail[128];
    unsigned long checksum = 0;
    int read_ok = 0;
    for (int i = 1; i < argc; ++i) {
        int fd = open(argv[i], O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st;
        if (fstat(fd, &st) == 0) {
            ssize_t n = pread(fd, head, sizeof head, 0);
            off_t at = st.st_size > (off_t)sizeof tail ? st.st_size - (off_t)sizeof tail : 0;
            ssize_t m = pread(fd, tail, sizeof tail, at);
            if (n > 0 && m > 0) {
                /* Use the bytes so nothing is optimised away. */
                checksum += head[0] + tail[0];
                ++read_ok;
            }
        }
        close(fd);
    }
    printf("%d files (%lu)\n", read_ok, checksum);
    return 0;
}
