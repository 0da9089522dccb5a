#include "tools/render/Messages.h"

#include <cstdio>

int fail(int status, const std::string& message)
{
    std::fprintf(stderr, "qdx-render: error: %s\n", printable(message).c_str());
    return status;
}

void warn(const std::string& message) { std::fprintf(stderr, "qdx-render: warning: %s\n", printable(message).c_str()); }

std::string printable(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (char c : text)
    {
        const unsigned char byte = (unsigned char)c;
        if (byte < 0x20 || byte == 0x7f)
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            result += escaped;
        }
        else
            result += c;
    }
    return result;
}
