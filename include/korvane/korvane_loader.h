/*
 * Korvane host-side loader: loads the driver library by path, resolves its
 * nineteen exports and copies a grabbed frame with one call. For hosts in
 * languages where a call per row is expensive (Python's ctypes, scripting
 * hosts): they load this small library, then the driver through it.
 */
#ifndef KORVANE_KORVANE_LOADER_H
#define KORVANE_KORVANE_LOADER_H

#include "korvane/korvane.h"

#if defined(KORVANE_LOADER_STATIC)
#define KORVANE_LOADER_API
#elif defined(_WIN32)
#if defined(KORVANE_BUILDING_LOADER)
#define KORVANE_LOADER_API __declspec(dllexport)
#else
#define KORVANE_LOADER_API __declspec(dllimport)
#endif
#else
#define KORVANE_LOADER_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KorvaneLoaderDriver KorvaneLoaderDriver;

/* Loads the driver at path, or from the default places when path is null or
 * empty (KORVANE_LIBRARY, beside the program, ../lib, beside this library,
 * the build's library). Null on failure with the reason in error (bounded by
 * errorSize, always terminated when errorSize > 0). */
KORVANE_LOADER_API KorvaneLoaderDriver* KORVANE_CALL korvaneLoaderLoad(const char* path,
                                                                       char* error, int errorSize);
/* Unloads the driver; null is accepted. */
KORVANE_LOADER_API void KORVANE_CALL korvaneLoaderUnload(KorvaneLoaderDriver* driver);
/* The path the driver was loaded from, valid while it is loaded. */
KORVANE_LOADER_API const char* KORVANE_CALL
korvaneLoaderLibraryPath(const KorvaneLoaderDriver* driver);
/* The address of the driver's export of that name, null for other names. */
KORVANE_LOADER_API void* KORVANE_CALL korvaneLoaderExport(const KorvaneLoaderDriver* driver,
                                                          const char* name);
/* Copies rows 0..height-1 of the last grabbed frame, pixels 0..width-1 each,
 * into dest with stride bytes between rows. Answers the number of rows
 * delivered (height when all were, fewer when the driver refused a row) or
 * -1 for a null driver or destination, width <= 0, height < 0 or
 * stride < width. */
KORVANE_LOADER_API int KORVANE_CALL korvaneLoaderReadFrame(const KorvaneLoaderDriver* driver,
                                                           int grabberNo, int portNo,
                                                           unsigned char* dest, int width,
                                                           int height, long long stride);

#ifdef __cplusplus
}
#endif

#endif /* KORVANE_KORVANE_LOADER_H */
