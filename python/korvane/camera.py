"""An open camera: grabs into NumPy arrays, properties, commands."""

from __future__ import annotations

import ctypes
import threading
import time
from typing import TYPE_CHECKING, Mapping, Optional, Tuple, Union

import numpy as np

from . import _native
from .errors import CommandError, KorvaneError, KorvaneTimeout
from .properties import Properties

if TYPE_CHECKING:
    from .driver import Driver
    from .stream import FrameStream


class Camera:
    """A camera open on one port. Made by :meth:`Driver.open`.

    Calls for one camera must not overlap: use it from one thread, except
    that a running :meth:`frames` stream receives frames on the driver's
    grab thread by itself.
    """

    def __init__(self, driver: "Driver", name: str, port: int, size: Tuple[int, int]) -> None:
        self._driver = driver
        self._api = driver._api
        self.name = name
        self.port = port
        self._opened_size = size
        self._size = size
        self._open = True
        self._frame_ready = threading.Event()
        self._stream: Optional["FrameStream"] = None
        self.last_read_seconds = 0.0  # the last row copy, for measurements
        # The driver holds only the C pointer: the object must live as long
        # as the port is open.
        self._complete = _native.CompleteCallback(self._on_complete)
        self.properties = Properties(self)
        if not self._api.setCompleteCallback(0, port, self._complete):
            self._api.closeXELPort(0, port)
            self._open = False
            driver._forget(port)
            raise KorvaneError(f"cannot set the grab callback on port {port}")

    # -- lifetime ------------------------------------------------------------

    def __enter__(self) -> "Camera":
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def close(self) -> None:
        """Stops a running stream and closes the port; idempotent."""
        if not self._open:
            return
        stream = self._stream
        if stream is not None:
            stream.close()
        self._open = False
        # After closeXELPort returns the driver calls back no more.
        self._api.closeXELPort(0, self.port)
        self._driver._forget(self.port)

    @property
    def is_open(self) -> bool:
        return self._open

    def __repr__(self) -> str:
        state = "open" if self._open else "closed"
        return f"<korvane.Camera {self.name!r} port {self.port} {self._size[0]}x{self._size[1]} {state}>"

    # -- size ----------------------------------------------------------------

    @property
    def size(self) -> Tuple[int, int]:
        """(width, height) of the frames delivered now."""
        return self._size

    @property
    def shape(self) -> Tuple[int, int]:
        """(height, width): the shape of the arrays :meth:`grab` returns."""
        return (self._size[1], self._size[0])

    def _limit_size(self) -> None:
        # A smaller Width or Height limits the rows at once; a larger one
        # reaches the buffer only at the next open.
        width = self.properties["Width"]
        height = self.properties["Height"]
        self._size = (min(self._opened_size[0], width), min(self._opened_size[1], height))

    # -- grabbing ------------------------------------------------------------

    def _on_complete(self, grabber: int, port: int) -> None:
        # Runs on the driver's grab thread; nothing may raise into C.
        try:
            stream = self._stream
            if stream is not None:
                stream._on_frame()
            else:
                self._frame_ready.set()
        except Exception:  # pragma: no cover - defensive
            import logging

            logging.getLogger("korvane").exception("grab callback failed")

    def _mark(self) -> int:
        return self._driver._log.mark()

    def _start_grab(self, what: str) -> None:
        mark = self._mark()
        if not self._api.doXELGrab(0, self.port):
            raise self._driver._call_failed(f"{what} on port {self.port} refused", mark)

    def grab(self, timeout: Optional[float] = 5.0, out: Optional[np.ndarray] = None) -> np.ndarray:
        """Grabs one frame: an array of shape (height, width), dtype uint8.

        The rows go into out when given (see :meth:`read`), which saves the
        allocation of a new array per frame. Raises KorvaneTimeout when no
        frame arrived within timeout seconds (None: wait for ever) and
        KorvaneError when the driver refused. :attr:`last_read_seconds` is
        the time the row copy took.
        """
        if self._stream is not None:
            raise KorvaneError("a frame stream is running on this camera")
        self._frame_ready.clear()
        self._start_grab("grab")
        if not self._frame_ready.wait(timeout):
            raise KorvaneTimeout(f"no frame within {timeout} s on port {self.port}")
        return self.read(out)

    def read(self, out: Optional[np.ndarray] = None) -> np.ndarray:
        """Copies the last grabbed frame into out (or a new array), rows in one call.

        out must be a writable uint8 array of :attr:`shape` whose rows are
        contiguous (any row stride).
        """
        height, width = self.shape
        if out is None:
            out = np.empty((height, width), dtype=np.uint8)
        else:
            if out.dtype != np.uint8 or out.shape != (height, width):
                raise ValueError(f"out must be uint8 of shape {(height, width)}")
            if out.strides[1] != 1 or not out.flags.writeable:
                raise ValueError("out must be writable with contiguous rows")
        mark = self._mark()
        start = time.perf_counter()
        rows = self._api.read_frame(self.port, out.ctypes.data, width, height, out.strides[0])
        self.last_read_seconds = time.perf_counter() - start
        if rows != height:
            raise self._driver._call_failed(
                f"only {max(rows, 0)} of {height} rows delivered on port {self.port}", mark
            )
        return out

    def frames(
        self,
        count: Optional[int] = None,
        timeout: Optional[float] = 5.0,
        queue_size: int = 8,
    ) -> "FrameStream":
        """Grabs continuously; iterate over the result for the frames.

        Each frame is copied on the grab thread into a new array and queued;
        when queue_size frames wait unread the new frame is dropped and
        counted (``stream.dropped``). Iteration ends after count frames
        (None: until the stream is closed); a wait longer than timeout raises
        KorvaneTimeout. Closing the stream (or leaving its ``with`` block)
        stops continuous mode.
        """
        from .stream import FrameStream

        if self._stream is not None:
            raise KorvaneError("a frame stream is already running on this camera")
        if not self._open:
            # Let the driver say why, as for a grab.
            self._start_grab("continuous grab")
        return FrameStream(self, count, timeout, queue_size)

    # -- commands ------------------------------------------------------------

    def exec_cmd(self, command: str, arguments: Union[str, Mapping[str, object]] = "") -> str:
        """Runs a driver command; answers ``"ok"`` or raises CommandError.

        arguments is the ``key=value;...`` text or a mapping of the items.
        """
        if not isinstance(arguments, str):
            arguments = ";".join(f"{key}={value}" for key, value in arguments.items())
        result = ctypes.create_string_buffer(64)
        mark = self._mark()
        called = self._api.execCmd(
            0, self.port, command.encode("utf-8"), arguments.encode("utf-8"), result, len(result)
        )
        answer = result.value.decode("utf-8", errors="replace")
        if answer == "ok" and called:
            return answer
        raise CommandError(
            f"{command}({arguments}) answered {answer or 'nothing'}",
            answer,
            self._driver._log.error_since(mark),
        )

    def configure(self) -> bool:
        """Shows this camera's property sheet where one exists (see Driver.configure)."""
        return self._driver.configure(self.name)
