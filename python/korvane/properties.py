"""A camera's properties as a mapping."""

from __future__ import annotations

import ctypes
import operator
from collections.abc import MutableMapping
from typing import TYPE_CHECKING, Iterator, Tuple

from .errors import PropertyError

if TYPE_CHECKING:
    from .camera import Camera

# The names the driver answers getProperty for at any time; iteration shows
# these. MdigInquire answers only after a StoreValue, so it is left out.
READABLE = (
    "PixelSize",
    "continuous",
    "LogLevel",
    "LogIntoFile",
    "Use16bit",
    "Shift16bit",
    "UseLUT",
    "Width",
    "Height",
    "Gain",
    "Exposure",
    "ExposureDelay",
    "UserBit0",
    "UserBit1",
    "UserBit2",
    "UserBit3",
)


class Properties(MutableMapping):
    """``camera.properties["Gain"] = 12``; names ignore letter case.

    Reading or writing a name the driver refuses raises PropertyError (a
    KeyError and a KorvaneError). Properties cannot be deleted.
    """

    def __init__(self, camera: "Camera") -> None:
        self._camera = camera

    def _open(self, name: str) -> None:
        if not self._camera.is_open:
            raise PropertyError(f"property {name!r}: the camera on port {self._camera.port} is closed")

    def __getitem__(self, name: str) -> int:
        self._open(name)
        value = ctypes.c_int()
        mark = self._camera._mark()
        if not self._camera._api.getProperty(0, self._camera.port, name.encode(), ctypes.byref(value)):
            raise PropertyError(
                f"property {name!r} cannot be read", self._camera._driver._log.error_since(mark)
            )
        return value.value

    def __setitem__(self, name: str, value: int) -> None:
        self._open(name)
        number = operator.index(value)
        mark = self._camera._mark()
        if not self._camera._api.setProperty(0, self._camera.port, name.encode(), number):
            raise PropertyError(
                f"property {name!r} refused the value {number}",
                self._camera._driver._log.error_since(mark),
            )
        if name.lower() in ("width", "height"):
            self._camera._limit_size()

    def __delitem__(self, name: str) -> None:
        raise TypeError("camera properties cannot be deleted")

    def __iter__(self) -> Iterator[str]:
        return iter(READABLE)

    def __len__(self) -> int:
        return len(READABLE)

    def __contains__(self, name: object) -> bool:
        return isinstance(name, str) and name.lower() in (n.lower() for n in READABLE)

    def range(self, name: str) -> Tuple[int, int]:
        """(minimum, maximum) the driver gives for name."""
        self._open(name)
        low, high = ctypes.c_int(), ctypes.c_int()
        mark = self._camera._mark()
        if not self._camera._api.getPropertyRange(
            0, self._camera.port, name.encode(), ctypes.byref(low), ctypes.byref(high)
        ):
            raise PropertyError(
                f"property {name!r} has no range", self._camera._driver._log.error_since(mark)
            )
        return (low.value, high.value)
