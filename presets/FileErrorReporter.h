// Where the preset system's file messages go. The plug-in's editor shows them
// in a modal message box; the command-line tools print them; tests record them.
// The file operations never decide that themselves.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

class FileErrorReporter
{
public:
    virtual ~FileErrorReporter() {}
    virtual void report(const char* caption, const char* text) = 0;
};

// Keeps every message, for tests and for tools that decide later what to show.
class RecordingFileErrorReporter : public FileErrorReporter
{
public:
    struct Message
    {
        std::string caption;
        std::string text;
    };
    void report(const char* caption, const char* text) override { messages.push_back({caption, text}); }
    std::vector<Message> messages;
};

// One line per message on the standard error stream, "<context>: <text>"
// (the context is typically the file's path); the caption is for windows only.
class StderrFileErrorReporter : public FileErrorReporter
{
public:
    explicit StderrFileErrorReporter(std::string context = std::string()) : context(std::move(context)) {}
    void report(const char*, const char* text) override
    {
        if (context.empty())
            std::fprintf(stderr, "%s\n", text);
        else
            std::fprintf(stderr, "%s: %s\n", context.c_str(), text);
    }

private:
    std::string context;
};
