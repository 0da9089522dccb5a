// One program: a name of at most 24 characters and the 26 normalised
// parameter values, each kept in [0, 1].
#pragma once

constexpr int kProgramNameLength = 24;
constexpr int kProgramParameterCount = 26;

class CProgram
{
public:
    CProgram();
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

    const char* name() const { return nameBytes; }

private:
    char nameBytes[kProgramNameLength + 1];
    float values[kProgramParameterCount];
};
