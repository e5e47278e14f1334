"""The driver: initialize, list cameras, open ports, finalize."""

from __future__ import annotations

import ctypes
import logging
import os
import threading
from typing import TYPE_CHECKING, Dict, List, Optional

from . import _native
from .errors import KorvaneError

if TYPE_CHECKING:
    from .camera import Camera

logger = logging.getLogger("korvane")

# The driver keeps one global state per process, so only one Driver may be
# initialized at a time.
_active_lock = threading.Lock()
_active: Optional["Driver"] = None

# Loaded drivers stay loaded for the life of the process: unloading a library
# whose threads or static objects may still be referenced is not worth the
# few kilobytes it would return.
_loaded: Dict[Optional[str], _native.LoadedDriver] = {}


def _load(library: Optional[str]) -> _native.LoadedDriver:
    key = os.path.abspath(library) if library else None
    if key not in _loaded:
        _loaded[key] = _native.LoadedDriver(key)
    return _loaded[key]


def level_of(text: str) -> int:
    """The logging level of one driver message text."""
    if "ERROR" in text or "EXCEPTION" in text:
        return logging.ERROR
    if "WARNING" in text:
        return logging.WARNING
    return logging.INFO


class _LogBridge:
    """Joins the driver's two calls per message and forwards to logging.

    The driver calls with the time stamp first, then with the text, from
    whichever thread logs; the pair is joined under a lock.
    """

    def __init__(self, target: logging.Logger = logger) -> None:
        self._logger = target
        self._lock = threading.Lock()
        self._stamp: Optional[str] = None
        self.error_count = 0
        self.last_error: Optional[str] = None
        self.callback = _native.DebugMsgProc(self._receive)

    def _receive(self, raw: Optional[bytes]) -> None:
        # An exception must not cross back into C: log it and carry on.
        try:
            text = (raw or b"").decode("utf-8", errors="replace")
            with self._lock:
                if self._stamp is None:
                    self._stamp = text
                    return
                stamp, self._stamp = self._stamp, None
                line = text.rstrip("\r\n")
                level = level_of(line)
                # The driver's failure reasons are its "ERROR" lines; the
                # "--EXCEPTION caught" line that may follow says only where.
                if "ERROR" in line:
                    self.error_count += 1
                    self.last_error = line
            self._logger.log(level, "%s", line, extra={"korvane_stamp": stamp.strip()})
        except Exception:  # pragma: no cover - defensive
            self._logger.exception("cannot forward a message")

    def mark(self) -> int:
        with self._lock:
            return self.error_count

    def error_since(self, mark: int) -> Optional[str]:
        """The last ERROR line when one was logged after mark."""
        with self._lock:
            return self.last_error if self.error_count != mark else None


class Driver:
    """The Korvane driver, initialized on a system path.

    ``system_path`` holds ``Korvane.ini`` (and ``Korvane.log``); ``library``
    names the driver library, else the loader's default places are used.
    Use it as a context manager, or call :meth:`finalize` yourself::

        with korvane.Driver("korvane-data") as driver:
            with driver.open(driver.cameras[0]) as camera:
                image = camera.grab()
    """

    def __init__(self, system_path: "os.PathLike[str] | str", library: Optional[str] = None) -> None:
        global _active
        self.system_path = os.fspath(system_path)
        self._api = _load(library)
        self._log = _LogBridge()
        self._cameras: Dict[int, "Camera"] = {}
        self._initialized = False
        with _active_lock:
            if _active is not None:
                raise KorvaneError("another korvane.Driver is initialized in this process")
            os.makedirs(self.system_path, exist_ok=True)
            mark = self._log.mark()
            if not self._api.initialize(os.fsencode(self.system_path), self._log.callback):
                self._api.finalize()
                raise KorvaneError("initialize failed", self._log.error_since(mark))
            self._initialized = True
            _active = self

    # -- lifetime ------------------------------------------------------------

    def __enter__(self) -> "Driver":
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.finalize()

    def finalize(self) -> None:
        """Closes every open camera and finalizes the driver; idempotent."""
        global _active
        if not self._initialized:
            return
        try:
            for camera in list(self._cameras.values()):
                camera.close()
        finally:
            self._api.finalize()
            self._initialized = False
            with _active_lock:
                if _active is self:
                    _active = None

    close = finalize

    @property
    def initialized(self) -> bool:
        return self._initialized

    @property
    def library_path(self) -> str:
        """The driver library that was loaded."""
        return self._api.path

    @property
    def last_error(self) -> Optional[str]:
        """The last ERROR line the driver logged, without its time stamp."""
        return self._log.last_error

    def _check(self) -> None:
        if not self._initialized:
            raise KorvaneError("the driver is finalized")

    # -- cameras -------------------------------------------------------------

    @property
    def cameras(self) -> List[str]:
        """The names of the cameras the driver found (``Camera 1``, ...)."""
        self._check()
        names = self._api.getXELCameraConfigNames()
        result: List[str] = []
        if names:
            i = 0
            while names[i] is not None:
                result.append(names[i].decode("utf-8", errors="replace"))
                i += 1
        return result

    def open(self, name: str, port: int = 1) -> "Camera":
        """Opens camera name on port; raises KorvaneError with the driver's reason."""
        from .camera import Camera

        self._check()
        size = (ctypes.c_int * 2)()
        mark = self._log.mark()
        if not self._api.openXELPort(0, port, name.encode("utf-8"), size):
            raise KorvaneError(f"cannot open {name!r} on port {port}", self._log.error_since(mark))
        camera = Camera(self, name, port, (size[0], size[1]))
        self._cameras[port] = camera
        return camera

    def configure(self, name: str) -> bool:
        """Shows the camera's property sheet where the build has one.

        True when the settings were confirmed, False when cancelled (or no
        sheet is available); KorvaneError for an unknown camera.
        """
        self._check()
        mark = self._log.mark()
        answer = self._api.configureCamera(None, name.encode("utf-8"))
        if answer == 0:
            line = self._log.error_since(mark)
            if line is not None:
                raise KorvaneError(f"cannot configure {name!r}", line)
            return True
        return False

    def _forget(self, port: int) -> None:
        self._cameras.pop(port, None)

    # Used by Camera.
    def _call_failed(self, message: str, mark: int) -> KorvaneError:
        return KorvaneError(message, self._log.error_since(mark))

