"""kvfmu-run's exit codes as the sweep reads them, with their meanings as `kvfmu-run --help`
lists them (a test holds the two alike). kvfmu-sweep's own exit codes are among them: 0,
2 for refused input, 130 when interrupted; and 1 for failed runs, 3 for a cluster it cannot
reach.

Sent to the workers by value with the chunk task: it imports nothing.
"""

MEANINGS = {
    0: "the run completed",
    2: "bad command line (unknown option, missing value, name=value expected)",
    3: "a number in an option is malformed, not finite or out of range",
    10: "the .fmu file is missing or cannot be read",
    11: "the .fmu file is not a zip archive",
    12: "the .fmu archive is damaged, holds unsafe or repeated entry names, or unpacks to over 2 GiB",
    13: "the .fmu holds no modelDescription.xml",
    14: "modelDescription.xml is not valid",
    15: "the FMU is not an FMI 2.0 co-simulation FMU",
    16: "the FMU holds no binary for this platform (linux64)",
    17: "an unknown variable name (--set, --input, --param, --runs, --plot-variables)",
    20: "the input or runs CSV file cannot be read or is empty",
    21: "the input CSV file has no time column",
    22: "the time column of the input CSV file decreases",
    23: "a cell of the input or runs CSV file is not a number",
    24: "a row of the input or runs CSV file is malformed (cells, quotes)",
    25: "the runs CSV file has no run column, or a run id is empty, repeated or no file name",
    30: "the Java VM cannot start",
    31: "the FMU's binary cannot be loaded or lacks an FMI function",
    40: "an FMI call of the FMU failed (the FMU's message is shown)",
    41: "batch mode: every run was done, but some failed (summary.csv)",
    50: "the output CSV or plot file cannot be written",
    51: "the plot format is not offered by the installed PLplot",
    60: "a run exceeded --run-timeout: recorded as failed, the runs after it not started",
    70: "an unexpected internal error",
    130: "interrupted by a signal (SIGINT, SIGTERM, SIGHUP)",
}

OK = 0
USAGE = 2
BATCH_RUNS_FAILED = 41
RUN_TIMED_OUT = 60
INTERRUPTED = 130

# Batch mode ended with a row for every run it was given (some may have failed).
BATCH_DONE = {OK, BATCH_RUNS_FAILED}
# The whole batch refused before any run (command line, FMU, input or runs file, the Java VM
# or the FMU's binary): retrying cannot help.
BATCH_REFUSED = {code for code in MEANINGS if 2 <= code < 40}
