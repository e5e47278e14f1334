"""Continuous grabbing into a bounded queue."""

from __future__ import annotations

import queue
import threading
import time
from typing import TYPE_CHECKING, Iterator, Optional, Union

import numpy as np

from .errors import KorvaneError, KorvaneTimeout

if TYPE_CHECKING:
    from .camera import Camera

# How long the grab thread must stay quiet after continuous mode was
# switched off before the camera counts as idle: the frame under way still
# calls back, and the driver offers no other sign that it has.
_SETTLE_MIN = 0.05
_SETTLE_MAX = 2.0


class FrameStream:
    """Frames of a camera in continuous mode; made by :meth:`Camera.frames`.

    The driver calls back on its grab thread once per frame; the callback
    copies the rows into a new array and queues it. A full queue drops the
    frame uncopied and counts it in :attr:`dropped`, so a slow consumer
    never holds the grab thread up.
    """

    def __init__(self, camera: "Camera", count: Optional[int], timeout: Optional[float], queue_size: int) -> None:
        if queue_size < 1:
            raise ValueError("queue_size must be at least 1")
        if count is not None and count < 0:
            raise ValueError("count must not be negative")
        self._camera = camera
        self._count = count
        self._timeout = timeout
        self._queue: "queue.Queue[Union[np.ndarray, KorvaneError]]" = queue.Queue(queue_size)
        self._lock = threading.Lock()
        self._accepting = True
        self._closed = False
        self._last_callback = time.monotonic()
        self._interval = 0.0
        self.received = 0  # frames the driver delivered while the stream lived
        self.dropped = 0  # frames dropped because the queue was full
        self.yielded = 0  # frames handed to the consumer
        camera._stream = self
        try:
            camera.properties["continuous"] = 1
            camera._start_grab("continuous grab")
        except BaseException:
            self._stop_driver()
            camera._stream = None
            self._closed = True
            raise

    # -- the grab thread -----------------------------------------------------

    def _on_frame(self) -> None:
        now = time.monotonic()
        with self._lock:
            self._interval = max(self._interval, now - self._last_callback) if self.received else 0.0
            self._last_callback = now
            self.received += 1
            if not self._accepting:
                return
            if self._queue.full():
                self.dropped += 1
                return
        try:
            item: Union[np.ndarray, KorvaneError] = self._camera.read()
        except KorvaneError as error:
            item = error
        try:
            self._queue.put_nowait(item)
        except queue.Full:  # the consumer cannot add, so only a race with close
            with self._lock:
                self.dropped += 1

    # -- the consumer --------------------------------------------------------

    def __iter__(self) -> Iterator[np.ndarray]:
        return self

    def __next__(self) -> np.ndarray:
        if self._closed or (self._count is not None and self.yielded >= self._count):
            self.close()
            raise StopIteration
        try:
            item = self._queue.get(timeout=self._timeout)
        except queue.Empty:
            raise KorvaneTimeout(
                f"no frame within {self._timeout} s on port {self._camera.port}"
            ) from None
        if isinstance(item, KorvaneError):
            raise item
        self.yielded += 1
        return item

    def __enter__(self) -> "FrameStream":
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    @property
    def closed(self) -> bool:
        return self._closed

    def _stop_driver(self) -> None:
        with self._lock:
            self._accepting = False
        if self._camera.is_open:
            try:
                self._camera.properties["continuous"] = 0
            except KorvaneError:
                pass
        self._settle()

    def _settle(self) -> None:
        # Wait until no callback came for a while (a few frame intervals),
        # so that the frame under way cannot reach a later grab().
        if not self._camera.is_open:
            return
        deadline = time.monotonic() + _SETTLE_MAX
        while True:
            now = time.monotonic()
            with self._lock:
                quiet = min(max(_SETTLE_MIN, 3 * self._interval), _SETTLE_MAX)
                last = self._last_callback
            if now - last >= quiet or now >= deadline:
                return
            time.sleep(min(quiet - (now - last), 0.01) + 0.001)

    def close(self) -> None:
        """Stops continuous mode and drops the frames still queued; idempotent."""
        if self._closed:
            return
        self._closed = True
        try:
            self._stop_driver()
        finally:
            self._camera._stream = None
            while True:
                try:
                    self._queue.get_nowait()
                except queue.Empty:
                    break
