/*
 * Korvane camera share client: receive the frames a Korvane camera publishes
 * on this machine.
 *
 *   korvane_share* share = NULL;
 *   if (korvane_share_open("Line1", &share) != KORVANE_SHARE_OK) { ... }
 *   int width, height;
 *   korvane_share_dimensions(share, 2000, &width, &height);
 *   unsigned char* image = malloc((size_t)width * height);
 *   while (korvane_share_wait_frame(share, 1000) == KORVANE_SHARE_OK)
 *       korvane_share_copy_frame(share, image, (size_t)width * height);
 *   korvane_share_close(share);
 *
 * A share handle is used by one thread at a time. Link with KorvaneShare.
 */
#ifndef KORVANE_KORVANE_SHARE_H
#define KORVANE_KORVANE_SHARE_H

#include <stddef.h>

#if defined(_WIN32)
#if defined(KORVANE_BUILDING_SHARE)
#define KORVANE_SHARE_API __declspec(dllexport)
#else
#define KORVANE_SHARE_API __declspec(dllimport)
#endif
#else
#define KORVANE_SHARE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Results. */
#define KORVANE_SHARE_OK 0
#define KORVANE_SHARE_TIMEOUT 1
#define KORVANE_SHARE_CLOSED 2   /* the camera stopped sharing (the server has gone) */
#define KORVANE_SHARE_ERROR (-1) /* see korvane_share_error() */

typedef struct korvane_share korvane_share;

/* Connects to the share of that name. *share is NULL on failure
 * (korvane_share_error() 2: no share of that name runs). */
KORVANE_SHARE_API int korvane_share_open(const char* name, korvane_share** share);

/* Asks for the image size; waits up to timeout_ms (negative: no limit). */
KORVANE_SHARE_API int korvane_share_dimensions(korvane_share* share, int timeout_ms, int* width,
                                               int* height);

/* Waits up to timeout_ms for the next frame notice. */
KORVANE_SHARE_API int korvane_share_wait_frame(korvane_share* share, int timeout_ms);

/* Copies the latest frame (width * height bytes, one per pixel, row 0 first)
 * into dest, which holds size bytes. Needs korvane_share_dimensions first. */
KORVANE_SHARE_API int korvane_share_copy_frame(korvane_share* share, unsigned char* dest,
                                               size_t size);

/* Disconnects and frees the handle; NULL is ignored. */
KORVANE_SHARE_API void korvane_share_close(korvane_share* share);

/* The system error number behind this thread's last KORVANE_SHARE_ERROR or
 * KORVANE_SHARE_CLOSED, and its text (valid until the next call on this
 * thread). */
KORVANE_SHARE_API unsigned korvane_share_error(void);
KORVANE_SHARE_API const char* korvane_share_error_text(unsigned code);

/* Receives the library's diagnostic lines up to level (1 errors, 2 progress,
 * 3 detail): proc is called twice per line, with the time stamp and then the
 * text. NULL switches them off. */
KORVANE_SHARE_API void korvane_share_set_log(void (*proc)(const char* text), int level);

#ifdef __cplusplus
}
#endif

#endif /* KORVANE_KORVANE_SHARE_H */
