// One program: a name of at most 24 characters and the 26 normalised
// parameter values, each kept in [0, 1].
//
// Any thread may read and write a program: host parameter changes arrive on
// the host's threads while the editor's thread selects, renames and stores.
// Each value is a relaxed atomic float (what a reader sees is one writer's
// whole value); the name is copied in and out under the program's own small
// lock, so a reader gets one writer's whole name, never a mix of two. The
// audio thread touches neither.
#pragma once

#include <cstring>
#include <mutex>
#include <string>

#include "dsp/Shared.h"

constexpr int kProgramNameLength = 24;
constexpr int kProgramParameterCount = 26;
// Program 0 and the 23 factory presets.
constexpr int kProgramCount = 24;

// A program's name copied out: 24 characters and the terminator.
struct ProgramName
{
    char bytes[kProgramNameLength + 1] = {};

    const char* c_str() const { return bytes; }
    operator const char*() const { return bytes; }
    friend bool operator==(const std::string& text, const ProgramName& name) { return text == name.bytes; }
    friend bool operator==(const ProgramName& name, const std::string& text) { return text == name.bytes; }
};

class CProgram
{
public:
    CProgram();
    CProgram(const CProgram& other);
    CProgram& operator=(const CProgram& other);
    virtual ~CProgram() {}

    // Clears the name, then keeps at most the first 24 characters of text.
    virtual void setName(const char* text);
    // Copies the name with its terminator; out holds at least 25 bytes.
    virtual void getName(char* out) const;
    // Ignored outside 0..25; clamps to [0, 1]. A NaN is ignored too: no
    // program may ever hold a value that is not a number.
    virtual void setParameter(int index, float value);
    // -1.0 outside 0..25.
    virtual float getParameter(int index) const;

    // A copy of the name, taken whole.
    ProgramName name() const;

private:
    mutable std::mutex nameMutex;
    char nameBytes[kProgramNameLength + 1];
    Shared<float> values[kProgramParameterCount];
};
