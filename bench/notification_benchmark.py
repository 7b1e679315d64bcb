#!/usr/bin/env python3
"""Notification benchmark: the real zelSNMP (release build) with a stand-in site of its own,
an agentsim it polls on 127.0.0.1, and v2c traps sent to it from 127.0.0.1 by this script.

  latency  each trap carries its own value; its latency is the time from its send to the
           journal line of that value (the journal's millisecond stamp). Measured with no pass
           under way (the agent answers at once) and during a pass (a silent agent listed first
           keeps the serial pass, or the /p8 window, waiting for its answer for the whole run).
  flood    RATE traps per second for SECONDS from the configured agent: the task's CPU
           (utime + stime over the flood), its VmHWM at the start, middle and end of the flood,
           the out-of-turn polls (the agent's requests) against the seconds of flood.

  v3       the same latency and flood with SNMPv3 traps (authNoPriv, SHA-256) of the polled
           agent's engine, each checked by its digest and time window.

Usage: notification_benchmark.py BUILD_DIR [--smoke]; prints a markdown table."""

import datetime
import hashlib
import hmac
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

OID = "1.3.6.1.4.1.7.1"


def ber(tag, content):
    n = len(content)
    if n < 128:
        head = bytes([tag, n])
    elif n < 256:
        head = bytes([tag, 0x81, n])
    else:
        head = bytes([tag, 0x82, n >> 8, n & 255])
    return head + content


def integer(value):
    return ber(0x02, value.to_bytes(4, "big", signed=True))


def oid(text):
    arcs = [int(a) for a in text.split(".")]
    out = bytes([arcs[0] * 40 + arcs[1]])
    for arc in arcs[2:]:
        chunk = [arc & 0x7F]
        arc >>= 7
        while arc:
            chunk.insert(0, 0x80 | (arc & 0x7F))
            arc >>= 7
        out += bytes(chunk)
    return ber(0x06, out)


def trap(request_id, value):
    binding = ber(0x30, oid(OID) + integer(value))
    pdu = integer(request_id) + integer(0) + integer(0) + ber(0x30, binding)
    return ber(0x30, integer(1) + ber(0x04, b"public") + ber(0xA7, pdu))


# The v3 sender: a user at authNoPriv with SHA-256 whose traps carry the polled agentsim's
# engine ID (its default) at boots 1 and time 0, within its window for 150 s after its start.
V3_USER = b"bench"
V3_PASSPHRASE = b"bench auth passphrase"
AGENT_ENGINE = bytes.fromhex("80007ed9046167656e7473696d")


def minimal_integer(value):
    return ber(0x02, value.to_bytes(max(1, (value.bit_length() + 8) // 8), "big", signed=True))


def localized_key():
    repeated = (V3_PASSPHRASE * (1048576 // len(V3_PASSPHRASE) + 1))[:1048576]
    master = hashlib.sha256(repeated).digest()
    return hashlib.sha256(master + AGENT_ENGINE + master).digest()


def v3_trap(key, request_id, value):
    binding = ber(0x30, oid(OID) + integer(value))
    pdu = integer(request_id) + integer(0) + integer(0) + ber(0x30, binding)
    scoped = ber(0x30, ber(0x04, AGENT_ENGINE) + ber(0x04, b"") + ber(0xA7, pdu))
    header = ber(0x30, minimal_integer(request_id & 0x7FFFFFFF) + minimal_integer(65507) +
                 ber(0x04, b"\x01") + minimal_integer(3))
    zeros = bytes(24)
    security = ber(0x30, ber(0x04, AGENT_ENGINE) + minimal_integer(1) + minimal_integer(0) +
                   ber(0x04, V3_USER) + ber(0x04, zeros) + ber(0x04, b""))
    message = ber(0x30, minimal_integer(3) + header + ber(0x04, security) + scoped)
    digest = hmac.new(key, message, hashlib.sha256).digest()[:24]
    at = message.index(zeros)
    return message[:at] + digest + message[at + 24:]


def v3_options():
    return ["--v3-user", V3_USER.decode(), "--auth", "SHA-256:" + V3_PASSPHRASE.decode()]


def v3_section():
    return "@version=3\n@user=%s\n@auth=SHA-256:%s\n" % (V3_USER.decode(),
                                                          V3_PASSPHRASE.decode())


def free_port():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Run:
    """agentsim processes and the task with a stand-in site in a temporary directory."""

    def __init__(self, build, config, trap_port, agents, switches=()):
        self.root = tempfile.TemporaryDirectory()
        site = os.path.join(self.root.name, "site")
        work = os.path.join(self.root.name, "work")
        os.makedirs(os.path.join(site, "tm", "TMS"))
        os.makedirs(os.path.join(site, "config", "TM_SERVER", "TMS"))
        os.makedirs(work)
        with open(os.path.join(site, "config", "TM_SERVER", "TMS", "poll.ini"), "w") as f:
            f.write(config)
        self.journal = os.path.join(site, "tm", "TMS", "journal.tsv")
        self.debug = os.path.join(site, "log", "debug.log")
        self.agents = []
        data = os.path.join(self.root.name, "agent.snmprec")
        with open(data, "w") as f:
            f.write(OID + "|2|5\n")
        for listen, options in agents:
            log = open(os.path.join(self.root.name, "agent-%d.log" % len(self.agents)), "w+")
            self.agents.append((subprocess.Popen(
                [os.path.join(build, "tools/agentsim/agentsim"), "--listen", listen, "--data",
                 data] + options, stdout=log, stderr=subprocess.STDOUT), log))
        time.sleep(0.5)
        env = {"ZELSNMP_SITE": site, "PATH": "/usr/bin:/bin"}
        self.task = subprocess.Popen(
            [os.path.join(build, "app/zelSNMP"), "TMS", ".", "/fpoll.ini", "/t%d" % trap_port] +
            list(switches),
            cwd=work, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        self.wait_for("Начинаем цикл опроса")

    def wait_for(self, text, limit=20):
        deadline = time.time() + limit
        while time.time() < deadline:
            try:
                with open(self.debug, encoding="utf-8", errors="replace") as f:
                    if text in f.read():
                        return
            except FileNotFoundError:
                pass
            time.sleep(0.05)
        raise RuntimeError("no '%s' in the debug log" % text)

    def requests(self, index):
        log = self.agents[index][1]
        log.flush()
        log.seek(0)
        return sum(1 for line in log if line.startswith("received"))

    def status(self, key):
        with open("/proc/%d/status" % self.task.pid) as f:
            for line in f:
                if line.startswith(key + ":"):
                    return int(line.split()[1])
        return 0

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.task.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def journal_times(self):
        """value -> first journal time (seconds since the epoch) of a write into 1:1:1."""
        times = {}
        with open(self.journal, encoding="utf-8", errors="replace") as f:
            for line in f:
                fields = line.rstrip("\n").split("\t")
                if len(fields) != 6 or fields[2:5] != ["1", "1", "1"]:
                    continue
                stamp = datetime.datetime.strptime(fields[0], "%Y-%m-%dT%H:%M:%S.%f")
                times.setdefault(fields[5], stamp.timestamp())
        return times

    def close(self):
        self.task.send_signal(signal.SIGTERM)
        try:
            self.task.wait(30)
        except subprocess.TimeoutExpired:
            self.task.kill()
        for process, log in self.agents:
            process.terminate()
            process.wait()
            log.close()
        self.root.cleanup()


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100 * (len(ordered) - 1))))]


def latency(build, during_pass, count, switches=(), v3_key=None):
    agent_port = free_port()
    trap_port = free_port()
    config = ""
    agents = [("127.0.0.1:%d" % agent_port, v3_options() if v3_key else [])]
    if during_pass:
        silent_port = free_port()
        config += "[silent]\n@host=127.0.0.1\n@community=public\n@port=%d\n" % silent_port
        config += "@timeout=60000\n@retries=0\n"
        config += "#TT1:2:1=%s\n" % OID
        agents.append(("127.0.0.1:%d" % silent_port, ["--silent"]))
    config += "[device]\n@host=127.0.0.1\n@port=%d\n#TT1:1:1=%s\n" % (agent_port, OID)
    config += v3_section() if v3_key else "@community=public\n"
    run = Run(build, config, trap_port, agents, switches)
    try:
        sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sent = {}
        for i in range(count):
            value = 100000 + i
            sent[str(value)] = time.time()
            datagram = v3_trap(v3_key, i + 1, value) if v3_key else trap(i, value)
            sender.sendto(datagram, ("127.0.0.1", trap_port))
            time.sleep(0.037)
        time.sleep(1.5)
        written = run.journal_times()
    finally:
        run.close()
    # The journal's stamps have milliseconds: a latency below 1 ms may show as 0 or -1 ms.
    samples = [max(0.0, (written[v] - t) * 1000) for v, t in sent.items() if v in written]
    return samples, count


def flood(build, rate, seconds, v3_key=None):
    agent_port = free_port()
    trap_port = free_port()
    if v3_key:
        config = "[127.0.0.1]\n@port=%d\n%s#TT1:1:1=%s\n" % (agent_port, v3_section(), OID)
    else:
        config = "[127.0.0.1:public]\n@port=%d\n#TT1:1:1=%s\n" % (agent_port, OID)
    run = Run(build, config, trap_port,
              [("127.0.0.1:%d" % agent_port, v3_options() if v3_key else [])])
    try:
        sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        # Distinct v3 traps (a copy within the replay table's reach is a replay, and costs as
        # much to check).
        datagrams = [v3_trap(v3_key, i + 1, i % 1000) if v3_key else trap(i, i % 1000)
                     for i in range(1000)]
        hwm = [run.status("VmHWM")]
        requests_before = run.requests(0)
        cpu_before = run.cpu_seconds()
        start = time.time()
        sent = 0
        batch = max(1, rate // 100)
        while True:
            elapsed = time.time() - start
            if elapsed >= seconds:
                break
            due = int(elapsed * rate)
            while sent < due:
                for _ in range(min(batch, due - sent)):
                    sender.sendto(datagrams[sent % 1000], ("127.0.0.1", trap_port))
                    sent += 1
            if abs(elapsed - seconds / 2) < 0.01 and len(hwm) == 1:
                hwm.append(run.status("VmHWM"))
            time.sleep(0.005)
        wall = time.time() - start
        cpu = run.cpu_seconds() - cpu_before
        if len(hwm) == 1:
            hwm.append(run.status("VmHWM"))
        hwm.append(run.status("VmHWM"))
        requests = run.requests(0) - requests_before
    finally:
        run.close()
    return sent, wall, cpu, hwm, requests


def main():
    build = os.path.abspath(sys.argv[1])
    smoke = "--smoke" in sys.argv
    count = 20 if smoke else 300
    rate, seconds = (1000, 2) if smoke else (10000, 60)
    print("| run | figure | value |")
    print("|---|---|---|")
    for during_pass, switches in ((False, ()), (True, ()), (True, ("/p8",))):
        samples, sent = latency(build, during_pass, count, switches)
        name = "trap to journal, during a pass" if during_pass else "trap to journal, no pass"
        if switches:
            name += " (" + " ".join(switches) + ")"
        print("| %s | median / 99th percentile | %.0f ms / %.0f ms (%d of %d written) |" %
              (name, percentile(samples, 50), percentile(samples, 99), len(samples), sent))
    key = localized_key()
    samples, sent = latency(build, False, count, (), key)
    print("| SNMPv3 trap (authNoPriv, SHA-256) to journal, no pass | median / 99th percentile | "
          "%.0f ms / %.0f ms (%d of %d written) |" %
          (percentile(samples, 50), percentile(samples, 99), len(samples), sent))
    for v3_key, kind in ((None, "traps"), (key, "SNMPv3 traps")):
        sent, wall, cpu, hwm, requests = flood(build, rate, seconds, v3_key)
        print("| flood %d %s/s, %d s | sent | %d in %.1f s |" % (rate, kind, seconds, sent, wall))
        print("| | task CPU | %.2f s per s (%.0f %% of one core) |" %
              (cpu / wall, 100 * cpu / wall))
        print("| | VmHWM start / middle / end | %s KiB |" % " / ".join(str(h) for h in hwm))
        print("| | agent requests (passes + polls out of turn) | %d in %.1f s |" %
              (requests, wall))


if __name__ == "__main__":
    main()
