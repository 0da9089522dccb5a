// The report for scripts (--report FILE.json, or - for standard output):
// the run's result records as one JSON document. Its fields are described
// in the README; levels that are -infinity (silence) are null, as JSON has
// no infinities.
#pragma once

#include <string>

struct RunResult;

// Returns false with a message when the file cannot be written.
bool writeJsonReport(const std::string& path, const RunResult& run, std::string& error);

// The document itself.
std::string jsonReport(const RunResult& run);
