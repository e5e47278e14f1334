"""Receiving the frames a camera shares with other processes."""

from __future__ import annotations

import ctypes
import logging
import threading
import time
from typing import Iterator, Optional, Tuple

import numpy as np

from . import _native
from .driver import _LogBridge
from .errors import KorvaneError, KorvaneTimeout

_OK, _TIMEOUT, _CLOSED, _ERROR = 0, 1, 2, -1
_NO_SUCH_SHARE = 2

# The share library's diagnostics (its error lines) go to logging once the
# first client is made; the setting is the library's, for the whole process.
_log_lock = threading.Lock()
_log_bridge: Optional[_LogBridge] = None


def _forward_share_log(lib: ctypes.CDLL) -> None:
    global _log_bridge
    with _log_lock:
        if _log_bridge is None:
            _log_bridge = _LogBridge(logging.getLogger("korvane.share"))
            lib.korvane_share_set_log(_log_bridge.callback, 1)


def _error_text(lib: ctypes.CDLL) -> Tuple[int, str]:
    code = lib.korvane_share_error()
    text = lib.korvane_share_error_text(code)
    return code, (text or b"").decode("utf-8", errors="replace")


class ShareClient:
    """A connection to the share a camera publishes under name.

    Connecting keeps trying for connect_timeout seconds while no share of
    that name runs. Use it as a context manager, or call :meth:`close`::

        with korvane.ShareClient("Line1", connect_timeout=5) as share:
            width, height = share.dimensions
            for image in share.frames():   # ends when the camera stops sharing
                ...

    A client is used by one thread at a time.
    """

    def __init__(self, name: str, connect_timeout: float = 0.0, answer_timeout: float = 5.0) -> None:
        self.name = name
        self.answer_timeout = answer_timeout
        self._lib = _native.share_library()
        _forward_share_log(self._lib)
        self._handle = ctypes.c_void_p()
        self._dimensions: Optional[Tuple[int, int]] = None
        self._ended = False
        deadline = time.monotonic() + max(connect_timeout, 0.0)
        while True:
            result = self._lib.korvane_share_open(name.encode("utf-8"), ctypes.byref(self._handle))
            if result == _OK and self._handle:
                break
            code, text = _error_text(self._lib)
            if code != _NO_SUCH_SHARE or time.monotonic() >= deadline:
                raise KorvaneError(f"cannot connect to the share {name!r} ({text or code})")
            time.sleep(0.02)

    def __enter__(self) -> "ShareClient":
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def close(self) -> None:
        """Disconnects; idempotent."""
        if self._handle:
            self._lib.korvane_share_close(self._handle)
            self._handle = ctypes.c_void_p()

    @property
    def connected(self) -> bool:
        return bool(self._handle)

    def _check(self) -> None:
        if not self._handle:
            raise KorvaneError(f"the share client of {self.name!r} is closed")

    def _fail(self, what: str) -> KorvaneError:
        code, text = _error_text(self._lib)
        return KorvaneError(f"share {self.name!r}: {what} ({text or code})")

    @property
    def dimensions(self) -> Tuple[int, int]:
        """(width, height) of the shared frames, asked once."""
        if self._dimensions is None:
            self._check()
            width, height = ctypes.c_int(), ctypes.c_int()
            result = self._lib.korvane_share_dimensions(
                self._handle, int(self.answer_timeout * 1000), ctypes.byref(width), ctypes.byref(height)
            )
            if result == _TIMEOUT:
                raise KorvaneTimeout(f"share {self.name!r}: no image size within {self.answer_timeout} s")
            if result == _CLOSED:
                self._ended = True
                raise KorvaneError(f"share {self.name!r}: the camera stopped sharing")
            if result != _OK:
                raise self._fail("cannot get the image size")
            self._dimensions = (width.value, height.value)
        return self._dimensions

    @property
    def shape(self) -> Tuple[int, int]:
        """(height, width): the shape of the arrays :meth:`frames` yields."""
        width, height = self.dimensions
        return (height, width)

    def wait_frame(self, timeout: Optional[float] = None) -> bool:
        """Waits for the next frame notice: True when one came, False when
        the camera stopped sharing; KorvaneTimeout after timeout seconds."""
        self._check()
        # Waits are cut into short slices so that Ctrl-C gets through.
        deadline = None if timeout is None else time.monotonic() + timeout
        while True:
            slice_ms = 200
            if deadline is not None:
                slice_ms = max(0, min(slice_ms, int((deadline - time.monotonic()) * 1000)))
            result = self._lib.korvane_share_wait_frame(self._handle, slice_ms)
            if result == _OK:
                return True
            if result == _CLOSED:
                self._ended = True
                return False
            if result != _TIMEOUT:
                raise self._fail("waiting for a frame failed")
            if deadline is not None and time.monotonic() >= deadline:
                raise KorvaneTimeout(f"share {self.name!r}: no frame within {timeout} s")

    def read(self, out: Optional[np.ndarray] = None) -> np.ndarray:
        """Copies the latest frame into out (C-contiguous uint8 of :attr:`shape`) or a new array."""
        shape = self.shape
        if out is None:
            out = np.empty(shape, dtype=np.uint8)
        elif out.dtype != np.uint8 or out.shape != shape or not out.flags.c_contiguous or not out.flags.writeable:
            raise ValueError(f"out must be a writable C-contiguous uint8 array of shape {shape}")
        result = self._lib.korvane_share_copy_frame(self._handle, out.ctypes.data, out.nbytes)
        if result == _CLOSED:
            self._ended = True
            raise KorvaneError(f"share {self.name!r}: the camera stopped sharing")
        if result != _OK:
            raise self._fail("cannot copy the frame")
        return out

    @property
    def ended(self) -> bool:
        """True once the camera stopped sharing."""
        return self._ended

    def frames(
        self,
        count: Optional[int] = None,
        timeout: Optional[float] = None,
        out: Optional[np.ndarray] = None,
    ) -> Iterator[np.ndarray]:
        """Yields a new array for each announced frame until the camera
        stops sharing (or count frames); KorvaneTimeout when no frame came
        within timeout seconds (None: no limit). With out, every frame is
        copied into out and out is yielded (valid until the next frame)."""
        delivered = 0
        self.dimensions  # asked before the first notice, as the protocol wants
        while count is None or delivered < count:
            if not self.wait_frame(timeout):
                return
            try:
                image = self.read(out)
            except KorvaneError:
                if self._ended:
                    return
                raise
            delivered += 1
            yield image
