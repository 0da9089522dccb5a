// How qdx-render ends and speaks: its exit statuses, its error and warning
// lines, and the one way text from files reaches the terminal.
#pragma once

#include <string>

enum ExitStatus : int
{
    kExitSuccess = 0,
    kExitFailure = 1, // a file or the plug-in failed, or a target was not met
    kExitUsage = 2,   // the command line asked for something that does not exist or cannot be
};

// Prints "qdx-render: error: MESSAGE" and returns `status`.
int fail(int status, const std::string& message);
void warn(const std::string& message);

// Text from a file (a program name) with its control bytes written as \xNN,
// so that a name cannot move the cursor, clear the screen or fake a line.
std::string printable(const std::string& text);
