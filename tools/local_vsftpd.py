"""Debian's vsftpd on 127.0.0.1 with a private configuration: anonymous,
read-only, passive ports of its own, in the foreground until stopped. Shared
by the download benchmark and the hosting load test (both run as root:
vsftpd changes its root for anonymous logins)."""

import os
import random
import signal
import socket
import subprocess
import time

VSFTPD = "/usr/sbin/vsftpd"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def ephemeral_ports():
    try:
        with open("/proc/sys/net/ipv4/ip_local_port_range") as f:
            low, high = (int(n) for n in f.read().split())
        return low, high
    except (OSError, ValueError):
        return 32768, 60999


def free_port_range(count):
    """A run of `count` ports none of which is taken now (for passive mode),
    below the ports the system hands out for outgoing connections, so that no
    client's connection takes one of them while the server runs."""
    low, _ = ephemeral_ports()
    top = low - count if low - count > 10000 else 65535 - count
    for _ in range(100):
        start = random.randint(10000 if top > 10000 else 1024, top)
        taken = False
        for port in range(start, start + count):
            with socket.socket() as s:
                try:
                    s.bind(("127.0.0.1", port))
                except OSError:
                    taken = True
                    break
        if not taken:
            return start
    raise RuntimeError("no free range of passive ports on 127.0.0.1")


class Vsftpd:
    """vsftpd serving `root` (root-owned, not writable by the ftp user, so
    vsftpd accepts it as the anonymous login folder); its files in `work`.
    extra: further configuration lines (limits of a load test)."""

    def __init__(self, root, work, log, passive_ports=40, extra=()):
        self.port = free_port()
        pasv = free_port_range(passive_ports)
        empty = os.path.join(work, "vsftpd-empty")
        os.makedirs(empty, exist_ok=True)
        config = os.path.join(work, f"vsftpd-{os.path.basename(root)}.conf")
        lines = [
            # In the foreground on loopback, until stopped.
            "listen=YES",
            "listen_ipv6=NO",
            "listen_address=127.0.0.1",
            f"listen_port={self.port}",
            "background=NO",
            # Anonymous and read-only, `root` the login folder.
            "anonymous_enable=YES",
            "no_anon_password=YES",
            f"anon_root={root}",
            "ftp_username=ftp",
            "local_enable=NO",
            "write_enable=NO",
            f"secure_chroot_dir={empty}",
            # Passive mode on loopback ports of our own.
            "pasv_enable=YES",
            "pasv_address=127.0.0.1",
            f"pasv_min_port={pasv}",
            f"pasv_max_port={pasv + passive_ports - 1}",
            "connect_from_port_20=NO",
            # Containers deny the namespaces and seccomp filters vsftpd
            # would set up.
            "seccomp_sandbox=NO",
            "isolate=NO",
            "isolate_network=NO",
            "xferlog_enable=NO",
            f"vsftpd_log_file={os.path.join(work, 'vsftpd.log')}",
            *extra,
            "",
        ]
        with open(config, "w") as c:
            c.write("\n".join(lines))
        self.log = log
        self.process = subprocess.Popen([VSFTPD, config], stdout=log, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL)
        self._wait_listening()

    def text(self):
        self.log.flush()
        with open(self.log.name, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def _wait_listening(self):
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("vsftpd ended at once:\n" + self.text())
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1) as s:
                    if s.recv(100).startswith(b"220"):
                        return
            except OSError:
                time.sleep(0.05)
        self.stop()
        raise RuntimeError("vsftpd did not answer on its port")

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
