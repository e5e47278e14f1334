/* A minimal receiver of a shared camera in C: connect, ask for the size,
 * copy a few frames out. Usage: korvane_example_receiver NAME [frames] */
#include <korvane/korvane_share.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s NAME [frames]\n", argv[0]);
        return 2;
    }
    const int wanted = argc > 2 ? atoi(argv[2]) : 5;
    korvane_share* share = NULL;
    if (korvane_share_open(argv[1], &share) != KORVANE_SHARE_OK) {
        fprintf(stderr, "cannot open share %s: %s\n", argv[1],
                korvane_share_error_text(korvane_share_error()));
        return 1;
    }
    int width = 0;
    int height = 0;
    if (korvane_share_dimensions(share, 5000, &width, &height) != KORVANE_SHARE_OK) {
        fprintf(stderr, "no size answer\n");
        korvane_share_close(share);
        return 1;
    }
    printf("%s: %d x %d\n", argv[1], width, height);
    unsigned char* image = malloc((size_t)width * (size_t)height);
    int received = 0;
    while (received < wanted && korvane_share_wait_frame(share, 5000) == KORVANE_SHARE_OK) {
        if (korvane_share_copy_frame(share, image, (size_t)width * (size_t)height) ==
            KORVANE_SHARE_OK) {
            ++received;
        }
    }
    printf("received %d frame(s)\n", received);
    free(image);
    korvane_share_close(share);
    return received == wanted ? 0 : 1;
}
