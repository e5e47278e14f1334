"""Finding and binding the C libraries.

Two libraries are used: the loader (``libKorvaneLoader``), which loads the
driver and copies a whole frame in one call, and the share client
(``libKorvaneShare``). Both are found, first to last:

1. the environment variable (``KORVANE_LOADER_LIBRARY``,
   ``KORVANE_SHARE_LIBRARY``) naming the file;
2. beside this package (an installed wheel or a copied tree);
3. beside the driver named by ``KORVANE_LIBRARY`` (an installed ``lib/``);
4. the build tree that generated ``_build_paths.py`` into its copy of the
   package;
5. the system's library search (``ctypes.util.find_library``, then the
   bare file name, which honours ``LD_LIBRARY_PATH`` or ``PATH``).

The driver itself is loaded by the loader: an explicit path, else its own
default places (``KORVANE_LIBRARY``, beside the loader, the build's library).
"""

from __future__ import annotations

import ctypes
import ctypes.util
import os
import sys
import threading
from pathlib import Path
from typing import List, Optional

from .errors import KorvaneError

_WINDOWS = sys.platform.startswith("win")

if _WINDOWS:
    LOADER_FILE = "KorvaneLoader.dll"
    SHARE_FILE = "KorvaneShare.dll"
    DRIVER_FILE = "Korvane.dll"
else:
    LOADER_FILE = "libKorvaneLoader.so"
    SHARE_FILE = "libKorvaneShare.so"
    DRIVER_FILE = "libKorvane.so"

_HERE = Path(__file__).resolve().parent


def _build_path(name: str) -> Optional[str]:
    try:
        from . import _build_paths  # type: ignore[attr-defined]
    except ImportError:
        return None
    return getattr(_build_paths, name, None)


def candidates(env: str, file_name: str, build_name: str, link_name: str) -> List[str]:
    """The places looked at for one library, first to last."""
    places: List[str] = []
    if os.environ.get(env):
        places.append(os.environ[env])
    places.append(str(_HERE / file_name))
    places.append(str(_HERE / "lib" / file_name))
    driver = os.environ.get("KORVANE_LIBRARY")
    if driver:
        places.append(str(Path(driver).resolve().parent / file_name))
    built = _build_path(build_name)
    if built:
        places.append(built)
    found = ctypes.util.find_library(link_name)
    if found:
        places.append(found)
    # The bare name: the system loader's own search (LD_LIBRARY_PATH, PATH).
    places.append(file_name)
    return places


def _load_first(what: str, places: List[str]) -> ctypes.CDLL:
    reasons = []
    for place in places:
        # A bare name from find_library is for the system's loader to resolve.
        if os.sep in place or (os.altsep and os.altsep in place):
            if not os.path.exists(place):
                reasons.append(f"{place}: no such file")
                continue
        try:
            return ctypes.CDLL(place)
        except OSError as error:
            reasons.append(f"{place}: {error}")
    raise KorvaneError(f"cannot load the {what} library (tried " + "; ".join(reasons) + ")")


# C types of the driver's interface.
c_int_p = ctypes.POINTER(ctypes.c_int)
DebugMsgProc = ctypes.CFUNCTYPE(None, ctypes.c_char_p)
CompleteCallback = ctypes.CFUNCTYPE(None, ctypes.c_int, ctypes.c_int)
ShareLogProc = ctypes.CFUNCTYPE(None, ctypes.c_char_p)

# name: (result, argument types) for each driver export used here.
DRIVER_PROTOTYPES = {
    "initialize": (ctypes.c_int, [ctypes.c_char_p, DebugMsgProc]),
    "finalize": (ctypes.c_int, []),
    "setDebugMsgProc": (None, [DebugMsgProc]),
    "configureCamera": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_char_p]),
    "getXELNoOfSupportedCameras": (ctypes.c_int, []),
    "getXELCameraConfigNames": (ctypes.POINTER(ctypes.c_char_p), []),
    "openXELPort": (ctypes.c_int, [ctypes.c_int, ctypes.c_int, ctypes.c_char_p, c_int_p]),
    "closeXELPort": (None, [ctypes.c_int, ctypes.c_int]),
    "doXELGrab": (ctypes.c_int, [ctypes.c_int, ctypes.c_int]),
    "setCompleteCallback": (ctypes.c_int, [ctypes.c_int, ctypes.c_int, CompleteCallback]),
    "getPropertyRange": (
        ctypes.c_int,
        [ctypes.c_int, ctypes.c_int, ctypes.c_char_p, c_int_p, c_int_p],
    ),
    "getProperty": (ctypes.c_int, [ctypes.c_int, ctypes.c_int, ctypes.c_char_p, c_int_p]),
    "setProperty": (ctypes.c_int, [ctypes.c_int, ctypes.c_int, ctypes.c_char_p, ctypes.c_int]),
    "execCmd": (
        ctypes.c_int,
        [
            ctypes.c_int,
            ctypes.c_int,
            ctypes.c_char_p,
            ctypes.c_char_p,
            ctypes.c_char_p,
            ctypes.c_int,
        ],
    ),
}

_lock = threading.Lock()
_loader: Optional[ctypes.CDLL] = None
_share: Optional[ctypes.CDLL] = None


def loader() -> ctypes.CDLL:
    """The loader library, bound once per process."""
    global _loader
    with _lock:
        if _loader is None:
            lib = _load_first(
                "Korvane loader",
                candidates("KORVANE_LOADER_LIBRARY", LOADER_FILE, "LOADER_LIBRARY", "KorvaneLoader"),
            )
            lib.korvaneLoaderLoad.restype = ctypes.c_void_p
            lib.korvaneLoaderLoad.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int]
            lib.korvaneLoaderUnload.restype = None
            lib.korvaneLoaderUnload.argtypes = [ctypes.c_void_p]
            lib.korvaneLoaderLibraryPath.restype = ctypes.c_char_p
            lib.korvaneLoaderLibraryPath.argtypes = [ctypes.c_void_p]
            lib.korvaneLoaderExport.restype = ctypes.c_void_p
            lib.korvaneLoaderExport.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
            lib.korvaneLoaderReadFrame.restype = ctypes.c_int
            lib.korvaneLoaderReadFrame.argtypes = [
                ctypes.c_void_p,
                ctypes.c_int,
                ctypes.c_int,
                ctypes.c_void_p,
                ctypes.c_int,
                ctypes.c_int,
                ctypes.c_longlong,
            ]
            _loader = lib
        return _loader


def share_library() -> ctypes.CDLL:
    """The share client library, bound once per process."""
    global _share
    with _lock:
        if _share is None:
            lib = _load_first(
                "Korvane share",
                candidates("KORVANE_SHARE_LIBRARY", SHARE_FILE, "SHARE_LIBRARY", "KorvaneShare"),
            )
            handle_p = ctypes.POINTER(ctypes.c_void_p)
            lib.korvane_share_open.restype = ctypes.c_int
            lib.korvane_share_open.argtypes = [ctypes.c_char_p, handle_p]
            lib.korvane_share_dimensions.restype = ctypes.c_int
            lib.korvane_share_dimensions.argtypes = [ctypes.c_void_p, ctypes.c_int, c_int_p, c_int_p]
            lib.korvane_share_wait_frame.restype = ctypes.c_int
            lib.korvane_share_wait_frame.argtypes = [ctypes.c_void_p, ctypes.c_int]
            lib.korvane_share_copy_frame.restype = ctypes.c_int
            lib.korvane_share_copy_frame.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_size_t]
            lib.korvane_share_close.restype = None
            lib.korvane_share_close.argtypes = [ctypes.c_void_p]
            lib.korvane_share_error.restype = ctypes.c_uint
            lib.korvane_share_error.argtypes = []
            lib.korvane_share_error_text.restype = ctypes.c_char_p
            lib.korvane_share_error_text.argtypes = [ctypes.c_uint]
            lib.korvane_share_set_log.restype = None
            lib.korvane_share_set_log.argtypes = [ShareLogProc, ctypes.c_int]
            _share = lib
        return _share


class LoadedDriver:
    """The driver library loaded through the loader, with typed exports."""

    def __init__(self, path: Optional[str]) -> None:
        self._lib = loader()
        error = ctypes.create_string_buffer(4096)
        handle = self._lib.korvaneLoaderLoad(
            os.fsencode(path) if path else None, error, len(error)
        )
        if not handle:
            raise KorvaneError(error.value.decode(errors="replace") or "cannot load the driver")
        self.handle: Optional[int] = handle
        self.path = self._lib.korvaneLoaderLibraryPath(handle).decode(errors="replace")
        for name, (restype, argtypes) in DRIVER_PROTOTYPES.items():
            address = self._lib.korvaneLoaderExport(handle, name.encode())
            if not address:
                self.unload()
                raise KorvaneError(f"the driver {self.path} has no export {name}")
            prototype = ctypes.CFUNCTYPE(restype, *argtypes)
            setattr(self, name, prototype(address))

    def read_frame(self, port: int, address: int, width: int, height: int, stride: int) -> int:
        """Copies the last grabbed frame of port into memory at address."""
        return self._lib.korvaneLoaderReadFrame(self.handle, 0, port, address, width, height, stride)

    def unload(self) -> None:
        if self.handle:
            self._lib.korvaneLoaderUnload(self.handle)
            self.handle = None

