"""Korvane cameras from Python: frames as NumPy arrays.

::

    import korvane

    with korvane.Driver("korvane-data") as driver:
        with driver.open(driver.cameras[0]) as camera:
            image = camera.grab()          # numpy uint8 array (height, width)
            camera.properties["Gain"] = 12

The C libraries are used through ctypes: the loader library loads the driver
and copies each frame with one call, the share library receives frames other
processes publish. See ``korvane._native`` for where they are looked for.
"""

from .camera import Camera
from .driver import Driver
from .errors import CommandError, KorvaneError, KorvaneTimeout, PropertyError
from .png import encode_png, save_png
from .properties import Properties
from .share import ShareClient
from .stream import FrameStream

__all__ = [
    "Camera",
    "CommandError",
    "Driver",
    "KorvaneError",
    "FrameStream",
    "KorvaneTimeout",
    "Properties",
    "PropertyError",
    "ShareClient",
    "encode_png",
    "save_png",
]

__version__ = "1.0.0"
