"""Exceptions raised by the package."""

from __future__ import annotations

from typing import Optional


class KorvaneError(RuntimeError):
    """A driver or share call failed.

    ``driver_line`` holds the driver's ERROR line logged during the failed
    call (without its time stamp), or ``None`` when the driver logged none.
    """

    def __init__(self, message: str, driver_line: Optional[str] = None) -> None:
        text = message if driver_line is None else f"{message}: {driver_line}"
        super().__init__(text)
        self.driver_line = driver_line


class KorvaneTimeout(KorvaneError, TimeoutError):
    """No frame arrived within the time asked for."""


class PropertyError(KorvaneError, KeyError):
    """The driver refused to get, set or give the range of a property."""

    def __str__(self) -> str:
        # KeyError would quote the message; keep it readable.
        return RuntimeError.__str__(self)


class CommandError(KorvaneError):
    """``exec_cmd`` answered something other than ``ok``.

    ``result`` is the driver's answer (``fail``, ``unknowncmd`` or ``error``).
    """

    def __init__(self, message: str, result: str, driver_line: Optional[str] = None) -> None:
        super().__init__(message, driver_line)
        self.result = result
