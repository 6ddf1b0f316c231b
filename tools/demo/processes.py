"""Every process a demo or test run starts, stopped again in reverse order."""

import ctypes
import os
import signal
import subprocess

_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1


def _die_with_parent():
    # A run killed outright (ctest's timeout, a closed terminal) must not
    # leave its display, servers or client behind.
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM)


class Processes:
    """Everything a run starts, stopped in reverse order, also on failure."""

    def __init__(self):
        self.started = []

    def start(self, args, **kwargs):
        proc = subprocess.Popen(args, start_new_session=True, preexec_fn=_die_with_parent, **kwargs)
        self.started.append(proc)
        return proc

    @staticmethod
    def stop(proc):
        if proc.poll() is None:
            try:
                os.killpg(proc.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
        # The group may outlive its leader (the main application the client starts).
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass

    def stop_all(self):
        while self.started:
            self.stop(self.started.pop())
