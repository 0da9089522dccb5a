// Mastering to a delivery target, of one file, a batch or an album. Every
// input is read once into memory; each pass runs the whole plug-in (loaded
// through its entry point, one instance per worker thread) over it and
// measures the result; nothing is written until a pass meets the target,
// and then that pass's output is the file.
#pragma once

#include <string>

class Session;
struct JobPlan;

// INPUT to OUTPUT with --loudness / --true-peak / --target. Returns the exit status.
int masterFile(Session& session, const std::string& inputPath, const std::string& outputPath);

// --out-dir DIR INPUT...: each file on its own, or with --album all with one
// set of settings. Returns the exit status: non-zero when any file failed.
int masterBatch(Session& session, const JobPlan& plan);

// --analyse INPUT...: measures each file and, with a target, runs the search
// without writing. Returns the exit status: non-zero when any file failed.
int analyseFiles(Session& session, const JobPlan& plan);
