"""Runs one module call in a child process under a memory limit and a time-out,
so that an input that crashes, hangs or exhausts memory fails its test instead
of taking the test run down. Optionally on a thread with a small stack."""

import json
import subprocess
import sys
import textwrap

# Address space the child may map: the interpreter and the module take about
# 100 MB of it; a runaway allocation meets the limit as MemoryError.
ADDRESS_LIMIT_MB = 1024

_CHILD = textwrap.dedent(
    """
    import json, resource, sys, threading, time
    limit = {limit} * 1024 * 1024
    resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    import mirtova as m
    spec = json.loads(sys.stdin.read())
    env = {{"m": m}}
    exec(spec["setup"], env)
    outcome = {{}}

    def call():
        start = time.perf_counter()
        try:
            value = eval(spec["call"], env)
            outcome.update(kind="ok", value=value if isinstance(value, (str, int, type(None))) else repr(value)[:200])
        except BaseException as error:
            text = str(error)
            if len(text) > 4000:
                text = text[:2000] + " ... " + text[-2000:]
            outcome.update(kind=type(error).__name__, message=text)
        outcome["seconds"] = time.perf_counter() - start

    if spec["stack_kb"]:
        threading.stack_size(spec["stack_kb"] * 1024)
        worker = threading.Thread(target=call)
        worker.start()
        worker.join()
    else:
        call()
    # The child's own peak: Linux carries the parent's peak over into ru_maxrss across exec, so a test run that
    # grew past the bound (an engine's client loaded in it) would fail every child.
    try:
        with open("/proc/self/status") as status:
            peak_kb = next(int(line.split()[1]) for line in status if line.startswith("VmHWM:"))
    except (OSError, StopIteration):
        peak_kb = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    outcome["max_rss_mb"] = peak_kb / 1024
    print(json.dumps(outcome))
    """
)


class Outcome(dict):
    """kind ("ok" or the exception's type name), message or value, seconds,
    max_rss_mb; or kind "crash"/"timeout" with the child's stderr."""

    @property
    def kind(self):
        return self["kind"]


def run_isolated(call, setup="", stack_kb=None, timeout=30, limit_mb=ADDRESS_LIMIT_MB):
    """Evaluates `call` (a Python expression; `m` is the module) after running
    `setup`, in a fresh interpreter."""
    spec = json.dumps({"setup": setup, "call": call, "stack_kb": stack_kb})
    try:
        done = subprocess.run(
            [sys.executable, "-c", _CHILD.format(limit=limit_mb)],
            input=spec, capture_output=True, text=True, timeout=timeout,
        )
    except subprocess.TimeoutExpired:
        return Outcome(kind="timeout", message=f"no answer within {timeout} s")
    if done.returncode != 0 or not done.stdout.strip():
        return Outcome(kind="crash", message=f"exit {done.returncode}: {done.stderr[-2000:]}")
    return Outcome(json.loads(done.stdout.strip().splitlines()[-1]))
