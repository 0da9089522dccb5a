// What a command line asks for, worked out before any audio is touched:
// the mode and the files, each input with the output it becomes. Name
// collisions are found here, so that a batch never starts with two inputs
// bound for one file.
#pragma once

#include <string>
#include <vector>

struct RenderOptions;

struct Job
{
    std::string inputPath, outputPath;
    std::string name; // the output's name in a batch's table
};

enum class JobMode
{
    help,
    listTargets,
    listPrograms,
    listParams,
    saveOnly, // no audio: only --save-preset / --save-bank
    bench,
    render,  // INPUT to OUTPUT with the settings as given
    master,  // INPUT to OUTPUT searched to a target
    batch,   // --out-dir
    analyse, // INPUT... measured, and searched with a target, with nothing written
};

struct JobPlan
{
    JobMode mode = JobMode::help;
    std::vector<Job> jobs;
    bool demo = false; // jobs[0]'s input is generated first
};

// Returns false with a message (a usage error) when the files collide.
bool planJobs(const RenderOptions& options, JobPlan& plan, std::string& error);
