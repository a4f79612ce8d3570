"""What the end-to-end tests share: failing, logging, waiting, and skipping
when a tool they drive is not installed."""
import shutil
import time

SKIP = 77  # CTest's SKIP_RETURN_CODE for these tests


class Failure(Exception):
    pass


def log(msg):
    print(msg, flush=True)


def check(cond, msg):
    if not cond:
        raise Failure(msg)


def wait_for(what, probe, timeout=20.0, interval=0.1, tolerate=()):
    """Calls probe until it gives a true value; an exception of a type in
    tolerate counts as not yet."""
    end = time.monotonic() + timeout
    while True:
        try:
            value = probe()
        except tolerate:
            value = None
        if value:
            return value
        if time.monotonic() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(interval)


def missing_tool(tools, module=None):
    """The first of the programs (or the Python module) that is not installed, or None."""
    for tool in tools:
        if not shutil.which(tool):
            return tool
    if module:
        try:
            __import__(module)
        except ImportError:
            return "python3-" + module
    return None
