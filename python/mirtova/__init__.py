"""Mirtova: a compiler from the Mirtova logic language to SQL."""

from ._mirtova import *  # noqa: F401,F403
from ._mirtova import SUPPORTED_ENGINES  # noqa: F401
