// Registry keys as small text files: one line per value,
// "<type>\t<name>\t<data>" with type binary (hex bytes), string (escaped) or
// dword (decimal). Easy to inspect and to edit by hand.
#include "platform/Registry.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform
{

namespace
{
enum class ValueType
{
    binary,
    string,
    dword
};

struct Value
{
    ValueType type;
    std::vector<unsigned char> bytes; // binary and string data, dword as 4 bytes
};

std::string storeRoot()
{
    // Only an absolute XDG_CONFIG_HOME counts (the base-directory rules): a
    // relative one would follow the current directory, which the preset
    // bar's file dialogs change, and the settings would move with it.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.config";
}

// "SOFTWARE\Korvane\QDXzelvo\MemoA" -> <root>/Korvane/QDXzelvo/MemoA.key
bool keyFilePath(const char* path, std::string& directory, std::string& file)
{
    if (!path || !*path)
        return false;
    std::string p(path);
    const std::string software = "SOFTWARE\\";
    if (p.compare(0, software.size(), software) == 0)
        p.erase(0, software.size());
    std::string relative;
    for (char c : p)
        relative += c == '\\' ? '/' : c;
    if (relative.empty() || relative.find("..") != std::string::npos || relative.front() == '/')
        return false;
    std::string full = storeRoot() + "/" + relative;
    size_t slash = full.rfind('/');
    directory = full.substr(0, slash);
    file = full + ".key";
    return true;
}

bool makeDirectories(const std::string& directory)
{
    std::string partial;
    for (size_t i = 0; i <= directory.size(); ++i)
    {
        if (i == directory.size() || (directory[i] == '/' && i > 0))
        {
            partial = directory.substr(0, i);
            if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
    }
    return true;
}

std::string escape(const unsigned char* data, size_t size)
{
    std::string out;
    for (size_t i = 0; i < size; ++i)
    {
        unsigned char c = data[i];
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c < 32 || c == 127)
        {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
        else
            out += (char)c;
    }
    return out;
}

bool unescape(const std::string& text, std::vector<unsigned char>& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '\\')
        {
            out.push_back((unsigned char)text[i]);
            continue;
        }
        if (++i >= text.size())
            return false;
        char c = text[i];
        if (c == '\\')
            out.push_back('\\');
        else if (c == 't')
            out.push_back('\t');
        else if (c == 'n')
            out.push_back('\n');
        else if (c == 'x' && i + 2 < text.size())
        {
            // Exactly two hex digits: sscanf alone would also take "-1" or " 1".
            unsigned value = 0;
            if (!std::isxdigit((unsigned char)text[i + 1]) || !std::isxdigit((unsigned char)text[i + 2]) ||
                std::sscanf(text.c_str() + i + 1, "%2x", &value) != 1)
                return false;
            out.push_back((unsigned char)value);
            i += 2;
        }
        else
            return false;
    }
    return true;
}

bool parseHex(const std::string& text, std::vector<unsigned char>& out)
{
    out.clear();
    if (text.size() % 2)
        return false;
    for (size_t i = 0; i < text.size(); i += 2)
    {
        unsigned value = 0;
        if (!std::isxdigit((unsigned char)text[i]) || !std::isxdigit((unsigned char)text[i + 1]) ||
            std::sscanf(text.c_str() + i, "%2x", &value) != 1)
            return false;
        out.push_back((unsigned char)value);
    }
    return true;
}

// Lines that cannot be read are skipped: a damaged line costs one value, not the key.
void parseKeyFile(const std::string& content, std::map<std::string, Value>& values)
{
    size_t start = 0;
    while (start < content.size())
    {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        size_t tab1 = line.find('\t');
        size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos)
            continue;
        std::string type = line.substr(0, tab1);
        std::vector<unsigned char> nameBytes;
        if (!unescape(line.substr(tab1 + 1, tab2 - tab1 - 1), nameBytes))
            continue;
        std::string name(nameBytes.begin(), nameBytes.end());
        std::string data = line.substr(tab2 + 1);
        Value value;
        if (type == "binary")
        {
            value.type = ValueType::binary;
            if (!parseHex(data, value.bytes))
                continue;
        }
        else if (type == "string")
        {
            value.type = ValueType::string;
            if (!unescape(data, value.bytes))
                continue;
        }
        else if (type == "dword")
        {
            value.type = ValueType::dword;
            char* endOfNumber = nullptr;
            errno = 0;
            unsigned long number = std::strtoul(data.c_str(), &endOfNumber, 10);
            if (data.empty() || *endOfNumber || errno || number > 0xffffffffUL)
                continue;
            uint32_t v = (uint32_t)number;
            value.bytes.assign((unsigned char*)&v, (unsigned char*)&v + 4);
        }
        else
            continue;
        values[name] = value;
    }
}

bool readFile(const std::string& file, std::string& content)
{
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f)
        return false;
    char buffer[4096];
    size_t n;
    content.clear();
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        content.append(buffer, n);
    std::fclose(f);
    return true;
}
} // namespace

struct RegistryKey::Impl
{
    std::string directory;
    std::string file;
    bool writable = false;
    bool dirty = false;
    std::map<std::string, Value> values;

    bool writeAtomically() const
    {
        std::string content = "# QDX Zelvo settings key\n";
        for (const auto& entry : values)
        {
            const Value& v = entry.second;
            std::string name = escape((const unsigned char*)entry.first.data(), entry.first.size());
            if (v.type == ValueType::binary)
            {
                content += "binary\t" + name + "\t";
                for (unsigned char b : v.bytes)
                {
                    char hex[4];
                    std::snprintf(hex, sizeof hex, "%02x", b);
                    content += hex;
                }
            }
            else if (v.type == ValueType::string)
                content += "string\t" + name + "\t" + escape(v.bytes.data(), v.bytes.size());
            else
            {
                uint32_t d;
                std::memcpy(&d, v.bytes.data(), 4);
                content += "dword\t" + name + "\t" + std::to_string(d);
            }
            content += "\n";
        }
        // A unique temporary name per writer, then one rename: readers see
        // either the old key or the new one, never a mixture.
        std::string temporary = file + ".XXXXXX";
        std::vector<char> name(temporary.begin(), temporary.end());
        name.push_back(0);
        int fd = mkstemp(name.data());
        if (fd < 0)
            return false;
        bool ok = true;
        size_t written = 0;
        while (ok && written < content.size())
        {
            ssize_t n = ::write(fd, content.data() + written, content.size() - written);
            if (n <= 0)
                ok = false;
            else
                written += (size_t)n;
        }
        ok = ok && fsync(fd) == 0;
        ok = (::close(fd) == 0) && ok;
        ok = ok && fchmodat(AT_FDCWD, name.data(), 0644, 0) == 0;
        ok = ok && std::rename(name.data(), file.c_str()) == 0;
        if (!ok)
            std::remove(name.data());
        return ok;
    }
};

RegistryKey::RegistryKey() = default;

RegistryKey::~RegistryKey() { close(); }

bool RegistryKey::create(const char* path)
{
    close();
    auto key = std::make_unique<Impl>();
    if (!keyFilePath(path, key->directory, key->file) || !makeDirectories(key->directory))
        return false;
    std::string content;
    if (readFile(key->file, content))
        parseKeyFile(content, key->values);
    key->writable = true;
    key->dirty = true; // a created key exists even when nothing is written to it
    impl = std::move(key);
    return true;
}

bool RegistryKey::open(const char* path)
{
    close();
    auto key = std::make_unique<Impl>();
    std::string content;
    if (!keyFilePath(path, key->directory, key->file) || !readFile(key->file, content))
        return false;
    parseKeyFile(content, key->values);
    impl = std::move(key);
    return true;
}

bool RegistryKey::close()
{
    bool written = true;
    if (impl && impl->writable && impl->dirty)
        written = impl->writeAtomically();
    impl.reset();
    return written;
}

bool RegistryKey::isOpen() const { return impl != nullptr; }

bool RegistryKey::setBinary(const char* name, const void* data, uint32_t size)
{
    if (!impl || !impl->writable || !name || (!data && size))
        return false;
    Value v{ValueType::binary, {}};
    v.bytes.assign((const unsigned char*)data, (const unsigned char*)data + size);
    impl->values[name] = v;
    impl->dirty = true;
    return true;
}

bool RegistryKey::setString(const char* name, const char* text)
{
    if (!impl || !impl->writable || !name || !text)
        return false;
    Value v{ValueType::string, {}};
    v.bytes.assign((const unsigned char*)text, (const unsigned char*)text + std::strlen(text));
    impl->values[name] = v;
    impl->dirty = true;
    return true;
}

bool RegistryKey::setDword(const char* name, uint32_t value)
{
    if (!impl || !impl->writable || !name)
        return false;
    Value v{ValueType::dword, {}};
    v.bytes.assign((unsigned char*)&value, (unsigned char*)&value + 4);
    impl->values[name] = v;
    impl->dirty = true;
    return true;
}

bool RegistryKey::queryBinary(const char* name, void* data, uint32_t* size)
{
    if (!impl || !name || !size)
        return false;
    auto it = impl->values.find(name);
    if (it == impl->values.end() || it->second.type != ValueType::binary)
        return false;
    const auto& bytes = it->second.bytes;
    if (bytes.size() > *size || (!data && !bytes.empty()))
    {
        *size = (uint32_t)bytes.size();
        return false;
    }
    if (!bytes.empty())
        std::memcpy(data, bytes.data(), bytes.size());
    *size = (uint32_t)bytes.size();
    return true;
}

bool RegistryKey::queryString(const char* name, char* text, uint32_t capacity)
{
    if (!impl || !name || !text || capacity == 0)
        return false;
    auto it = impl->values.find(name);
    if (it == impl->values.end() || it->second.type != ValueType::string)
        return false;
    const auto& bytes = it->second.bytes;
    size_t n = 0;
    while (n < bytes.size() && n + 1 < capacity && bytes[n] != 0)
    {
        text[n] = (char)bytes[n];
        ++n;
    }
    text[n] = 0;
    return true;
}

bool RegistryKey::queryDword(const char* name, uint32_t* value)
{
    if (!impl || !name || !value)
        return false;
    auto it = impl->values.find(name);
    if (it == impl->values.end() || it->second.type != ValueType::dword)
        return false;
    std::memcpy(value, it->second.bytes.data(), 4);
    return true;
}

} // namespace platform
