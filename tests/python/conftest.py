import pytest

import mirtova


@pytest.fixture
def m():
    return mirtova
