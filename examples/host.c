/* A minimal inspection host in C: find the cameras, open the first one,
 * grab one frame, read its rows and check them against the simulator's
 * ramp, close. Usage: korvane_example_host [system-path]
 * The system path should be an empty directory on first use, so that no
 * stored settings change the picture. */
#include <korvane/korvane.h>

#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static atomic_int frames;

static void on_frame(int grabber, int port) {
    (void)grabber;
    (void)port;
    atomic_fetch_add(&frames, 1);
}

int main(int argc, char** argv) {
    const char* systemPath = argc > 1 ? argv[1] : ".";
    if (initialize(systemPath, NULL) != 1 || getXELNoOfSupportedCameras() < 1) {
        fprintf(stderr, "no camera found\n");
        return 1;
    }
    char** names = getXELCameraConfigNames();
    int size[2];
    const int port = 1;
    if (openXELPort(0, port, names[0], size) != 1) {
        fprintf(stderr, "cannot open %s\n", names[0]);
        finalize();
        return 1;
    }
    printf("%s: %d x %d\n", names[0], size[0], size[1]);
    setCompleteCallback(0, port, on_frame);
    doXELGrab(0, port);
    for (int waited = 0; atomic_load(&frames) == 0 && waited < 5000; ++waited) {
        nanosleep(&(struct timespec){0, 1000000}, NULL); /* 1 ms */
    }
    if (atomic_load(&frames) == 0) {
        fprintf(stderr, "no frame within 5 s\n");
        return 1;
    }
    unsigned char* row = malloc((size_t)size[0]);
    long mismatches = 0;
    for (int y = 0; y < size[1]; ++y) {
        if (getXELGrabRow(0, port, row, y, 0, size[0] - 1) != 1) {
            ++mismatches;
            continue;
        }
        for (int x = 0; x < size[0]; ++x) {
            /* The simulator's 8-bit ramp of frame 1. */
            if (row[x] != (unsigned char)((x + 2 * y + 3 * 1) % 256)) {
                ++mismatches;
            }
        }
    }
    free(row);
    closeXELPort(0, port);
    finalize();
    printf("%s\n", mismatches == 0 ? "frame matches the ramp" : "frame does NOT match the ramp");
    return mismatches == 0 ? 0 : 1;
}
