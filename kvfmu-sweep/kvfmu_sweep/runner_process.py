"""A kvfmu-run process that stays up on a worker for the whole sweep, fed runs on its
standard input (`kvfmu-run FMU --runs - --output-dir DIR`) and answering a summary row on its
standard output after each one, so that one Java VM start serves every run of the worker.

Sent to the workers by value with the chunk task: it imports only the standard library.
"""

import csv
import io
import os
import select
import signal
import subprocess
import threading

from . import exit_codes


class ChunkCancelled(Exception):
    pass


class RunnerProcess:
    """One `kvfmu-run --runs -` process with the runs columns `columns`."""

    def __init__(self, command, columns, folder):
        self.command = list(command)
        self.columns = list(columns)
        self.folder = folder
        self.output_dir = os.path.join(folder, "out")
        self.header = None  # the summary's header row, once read
        self.counted = False  # by a chunk's count of processes
        self.last_status = None  # the status of the last run answered
        self.cancelled = False  # the sweep was: no more runs are sent
        self._buffer = b""
        self._stderr_path = os.path.join(folder, "stderr.txt")
        with open(self._stderr_path, "wb") as stderr:
            # A session of its own keeps a Ctrl-C at the terminal away from it (the client
            # decides); --end-with-parent ends it with the worker. (Code of ours run between
            # fork and exec would cost tens of milliseconds a start in a process this big.)
            self.process = subprocess.Popen(
                list(command) + ["--end-with-parent", "--runs", "-",
                                 "--output-dir", self.output_dir],
                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=stderr, cwd=folder,
                start_new_session=True)
        self._send(["run"] + self.columns)

    def send(self, run_id, cells):
        """Hands a run to the process; False when it has ended or the sweep was cancelled."""
        return not self.cancelled and self._send([run_id] + list(cells))

    def answer(self, cancelled):
        """The summary row (a dict) of the next run sent, or None when the process ended
        without one (then `ended()` tells how)."""
        if self.header is None:
            self.header = self._read_record(cancelled)
            if self.header is None:
                return None
        cells = self._read_record(cancelled)
        if cells is None:
            return None
        row = dict(zip(self.header, cells))
        self.last_status = row.get("status")
        return row

    def alive(self):
        return self.process.poll() is None

    def ended(self):
        """The exit code (negative: the signal) and the last error line of its stderr."""
        code = self.process.wait()
        with open(self._stderr_path, "rb") as f:
            text = f.read()[-4096:].decode("utf-8", "replace")
        lines = [line.strip() for line in text.splitlines() if line.strip()]
        errors = [line for line in lines if "error:" in line]
        return code, (errors or lines or [""])[-1]

    def close(self):
        """End of input: kvfmu-run ends on its own; stopped if it does not."""
        self.end_input()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.stop()
        self.process.stdout.close()

    def end_input(self):
        try:
            self.process.stdin.close()
        except OSError:
            pass

    def stop(self):
        """SIGTERM lets kvfmu-run clean up; SIGKILL if it does not end soon."""
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def _send(self, cells):
        text = io.StringIO()
        csv.writer(text, lineterminator="\n").writerow(cells)
        try:
            self.process.stdin.write(text.getvalue().encode("utf-8"))
            self.process.stdin.flush()
            return True
        except (BrokenPipeError, ValueError):
            return False

    def _read_record(self, cancelled):
        """The next CSV record of its standard output; None at its end. Once the sweep is
        cancelled, only the records already written: then ChunkCancelled."""
        fd = self.process.stdout.fileno()
        while True:
            record = self._complete_record()
            if record is not None:
                return next(csv.reader([record]))
            self.cancelled = self.cancelled or cancelled()
            ready, _, _ = select.select([fd], [], [], 0 if self.cancelled else 0.5)
            if not ready:
                if self.cancelled:
                    raise ChunkCancelled("the sweep was cancelled")
                continue
            data = os.read(fd, 65536)
            if not data:
                return None
            self._buffer += data

    def _complete_record(self):
        # A record ends at a line end outside quotes (an error text may hold a line end).
        start = 0
        while True:
            end = self._buffer.find(b"\n", start)
            if end < 0:
                return None
            if self._buffer.count(b'"', 0, end) % 2 == 0:
                record = self._buffer[:end].decode("utf-8", "replace")
                self._buffer = self._buffer[end + 1:]
                return record.rstrip("\r")
            start = end + 1


class RunnerPool:
    """The runner processes of one worker, by their command and columns; a process serves one
    chunk at a time and is kept for the next. Each process is counted once, by the chunk that
    first takes it (or finds it ended)."""

    def __init__(self, folder):
        self.folder = folder
        self.started = 0
        self.closed = False
        self._idle = {}
        self._lock = threading.Lock()

    def take(self, command, columns):
        """A runner for `command` and `columns`, and how many processes this take counts
        (one that was started for it or before it, and any that had ended unused)."""
        key = (tuple(command), tuple(columns))
        counted = 0
        with self._lock:
            idle = self._idle.get(key, [])
            while idle:
                runner = idle.pop()
                counted += not runner.counted
                runner.counted = True
                if runner.alive():
                    return runner, counted
                runner.close()
        runner = self._start(command, columns)
        runner.counted = True
        return runner, counted + 1

    def prestart(self, command, columns):
        """Starts a runner ahead of the first chunk, so that its Java VM starts meanwhile; it
        is counted by whoever started it, not by the chunk that takes it."""
        runner = self._start(command, columns)
        runner.counted = True
        self.give_back(runner)

    def _start(self, command, columns):
        with self._lock:
            self.started += 1
            folder = os.path.join(self.folder, f"runner-{os.getpid()}-{self.started}")
        os.makedirs(folder, exist_ok=True)
        return RunnerProcess(command, columns, folder)

    def give_back(self, runner):
        with self._lock:
            keep = runner.alive() and not self.closed
            if keep:
                self._idle.setdefault((tuple(runner.command), tuple(runner.columns)),
                                  []).append(runner)
        if not keep:
            runner.close()

    def close(self):
        """Ends every idle runner's input and returns: each ends its Java VM on its own,
        and a thread of the worker waits for that (stopping one that does not end)."""
        with self._lock:
            self.closed = True
            runners = [r for idle in self._idle.values() for r in idle]
            self._idle.clear()
        for runner in runners:
            runner.end_input()
        if runners:
            threading.Thread(target=lambda: [r.close() for r in runners], daemon=True,
                             name="kvfmu-sweep runner ends").start()


def failure_text(code, detail):
    if code in exit_codes.BATCH_DONE:
        return "kvfmu-run ended without a result for this run"
    if code < 0:
        try:
            name = signal.Signals(-code).name
        except ValueError:
            name = f"signal {-code}"
        what = f"kvfmu-run was killed by {name}"
    else:
        what = f"kvfmu-run ended with exit code {code}"
    return f"{what}: {detail}" if detail else what
