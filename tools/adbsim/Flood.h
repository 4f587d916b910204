#pragma once
// --sim-flood: lines written to stdout as fast as the pipe takes them, with
// the throughput the writes saw, for the flood benchmark.

#include <string>
#include <vector>

// args: --sim-flood BYTES LINELEN [--sim-flood-report FILE]. A line is
// LINELEN bytes with its CR LF (2: empty lines). Prints the throughput on
// stderr and, with a report file, writes it there as well:
// "BYTES SECONDS MIB_PER_S". Returns the exit code.
int RunFlood(const std::vector<std::string>& args);
