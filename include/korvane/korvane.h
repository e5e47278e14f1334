/*
 * Korvane camera driver: the interface a machine-vision host uses.
 *
 * Load the library dynamically (dlopen / LoadLibrary), resolve these
 * nineteen functions by name, and call them in this order:
 *   initialize -> getXELNoOfSupportedCameras / getXELCameraConfigNames ->
 *   openXELPort per camera -> setCompleteCallback -> repeatedly
 *   doXELGrab, wait for the callback, getXELGrabRow per row ->
 *   closeXELPort per port -> finalize.
 * Do not call two functions for the same port at the same time. The grab
 * callback runs on the driver's grab thread; the message callback runs on
 * whichever thread logs.
 */
#ifndef KORVANE_KORVANE_H
#define KORVANE_KORVANE_H

#if defined(_WIN32)
#define KORVANE_CALL __cdecl
#if defined(KORVANE_BUILDING_DRIVER)
#define KORVANE_API __declspec(dllexport)
#else
#define KORVANE_API __declspec(dllimport)
#endif
#else
#define KORVANE_CALL
#define KORVANE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Receives every emitted log message, in two calls per message: first its
   time stamp, then the message text. Each text is valid during its call. */
typedef void(KORVANE_CALL* DebugMsgProc)(const char* text);
/* Called on the grab thread when a frame is in memory: grabber 0, port. */
typedef void(KORVANE_CALL* CompleteCallback)(int grabberNo, int portNo);

KORVANE_API int KORVANE_CALL initialize(const char* systemPath, DebugMsgProc msgProc);
KORVANE_API int KORVANE_CALL finalize(void);
KORVANE_API int KORVANE_CALL setSystemPath(const char* systemPath);
KORVANE_API void KORVANE_CALL setDebugMsgProc(DebugMsgProc msgProc);
/* 0 when the settings were confirmed (or no such camera), 1 when cancelled. */
KORVANE_API int KORVANE_CALL configureCamera(void* parentWindow, const char* cameraName);
KORVANE_API int KORVANE_CALL getXELMaxNoOfGrabbers(void);
KORVANE_API int KORVANE_CALL getXELMaxNoOfPorts(void);
KORVANE_API int KORVANE_CALL getXELNoOfSupportedCameras(void);
/* Null-terminated list owned by the driver; valid until the next call or finalize. */
KORVANE_API char** KORVANE_CALL getXELCameraConfigNames(void);
/* imageSize receives width then height. */
KORVANE_API int KORVANE_CALL openXELPort(int grabberNo, int portNo, const char* cameraName,
                                         int* imageSize);
KORVANE_API void KORVANE_CALL closeXELPort(int grabberNo, int portNo);
KORVANE_API int KORVANE_CALL doXELGrab(int grabberNo, int portNo);
/* Copies pixels firstPix..lastPix (inclusive) of a row, one byte each. */
KORVANE_API int KORVANE_CALL getXELGrabRow(int grabberNo, int portNo, unsigned char* dest, int row,
                                           int firstPix, int lastPix);
/* Accepted for compatibility; reads no argument and changes nothing. */
KORVANE_API int KORVANE_CALL setHWTrigger(int grabberNo, int portNo, int mode);
KORVANE_API int KORVANE_CALL setCompleteCallback(int grabberNo, int portNo,
                                                 CompleteCallback callback);
KORVANE_API int KORVANE_CALL getPropertyRange(int grabberNo, int portNo, const char* property,
                                              int* minValue, int* maxValue);
KORVANE_API int KORVANE_CALL getProperty(int grabberNo, int portNo, const char* property,
                                         int* value);
KORVANE_API int KORVANE_CALL setProperty(int grabberNo, int portNo, const char* property,
                                         int value);
/* result receives "ok", "fail", "unknowncmd" or "error", bounded by resultSize. */
KORVANE_API int KORVANE_CALL execCmd(int grabberNo, int portNo, const char* command,
                                     const char* arguments, char* result, int resultSize);

#ifdef __cplusplus
}
#endif

#endif /* KORVANE_KORVANE_H */
