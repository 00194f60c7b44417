#include "test_support.h"

#include <cstdio>
#include <stdexcept>
#include <unistd.h>

const char kWindowsVersionKey[] = "Software\\Microsoft\\Windows\\Currentversion";
const char kControlKey[] = "System\\CurrentControlSet\\Control";
const char kVnetsupKey[] = "System\\CurrentControlSet\\Services\\VxD\\VNETSUP";

std::string Cp932(const std::string &utf8)
{
    char inPath[] = "/tmp/palvorine-iconv-XXXXXX";
    int fd = mkstemp(inPath);
    if (fd < 0)
        throw std::runtime_error("mkstemp failed");
    if (write(fd, utf8.data(), utf8.size()) != (ssize_t)utf8.size())
        throw std::runtime_error("write failed");
    close(fd);
    std::string command = std::string(PALVORINE_ICONV) + " -f UTF-8 -t CP932 " + inPath;
    FILE *pipe = popen(command.c_str(), "r");
    std::string out;
    char chunk[256];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), pipe)) > 0)
        out.append(chunk, got);
    int status = pclose(pipe);
    unlink(inPath);
    if (status != 0)
        throw std::runtime_error("iconv failed on: " + utf8);
    return out;
}

void SeedFullRegistry()
{
    using standin::PutString;
    PutString(kWindowsVersionKey, "ProductName", "Microsoft Windows 98");
    PutString(kWindowsVersionKey, "VersionNumber", "4.10.2222");
    PutString(kWindowsVersionKey, "SubVersionNumber", " A ");
    PutString(kWindowsVersionKey, "RegisteredOrganization", Cp932("株式会社サンプル"));
    PutString(kWindowsVersionKey, "RegisteredOwner", Cp932("山田 太郎"));
    PutString(kWindowsVersionKey, "ProductId", "12345-OEM-0012345-12345");
    PutString(kWindowsVersionKey, "ProductKey", "ABCDE-FGHIJ-KLMNO-PQRST-UVWXY");
    PutString(kWindowsVersionKey, "Plus! VersionNumber", "IE 5 5.00.2614.3500");
    PutString(kControlKey, "Current User", "taro");
    PutString(kVnetsupKey, "ComputerName", "TARO-PC");
    PutString(kVnetsupKey, "Workgroup", "WORKGROUP");
}

standin::Bytes BytesOf(const std::string &text, bool withZero)
{
    standin::Bytes bytes(text.begin(), text.end());
    if (withZero)
        bytes.push_back(0);
    return bytes;
}

standin::Bytes PaddedTo128(const std::string &text)
{
    standin::Bytes bytes(text.begin(), text.end());
    bytes.resize(128, 0);
    return bytes;
}

std::string Printable(const std::string &bytes)
{
    std::string out;
    char hex[8];
    for (unsigned char c : bytes)
    {
        if (c >= 0x20 && c < 0x7f && c != '\\')
            out += (char)c;
        else
        {
            snprintf(hex, sizeof(hex), "\\x%02x", c);
            out += hex;
        }
    }
    return "\"" + out + "\" (" + std::to_string(bytes.size()) + " bytes)";
}

void Remove(const char *path, const char *valueName)
{
    // The stand-in has no delete: rebuild the registry without it.
    Snapshot kept;
    for (const char *key : { kWindowsVersionKey, kControlKey, kVnetsupKey })
    {
        if (!standin::HasKey(key) || (std::string(key) == path && !valueName))
            continue;
        kept[key] = standin::KeyValues(key);
        if (std::string(key) == path)
            kept[key].erase(valueName);
    }
    standin::Reset();
    for (auto &key : kept)
    {
        standin::AddKey(key.first);
        for (auto &value : key.second)
            standin::PutValue(key.first, value.first, value.second.type, value.second.data);
    }
}

Snapshot TakeSnapshot()
{
    Snapshot keys;
    for (const char *key : { kWindowsVersionKey, kControlKey, kVnetsupKey })
    {
        if (standin::HasKey(key))
            keys[key] = standin::KeyValues(key);
    }
    return keys;
}

std::string Differences(const Snapshot &before, const Snapshot &after)
{
    std::string out;
    for (const Snapshot *side : { &before, &after })
    {
        const Snapshot &other = side == &before ? after : before;
        for (auto &key : *side)
        {
            auto otherKey = other.find(key.first);
            if (otherKey == other.end())
            {
                out += "key " + key.first + (side == &before ? " vanished; " : " appeared; ");
                continue;
            }
            for (auto &value : key.second)
            {
                auto otherValue = otherKey->second.find(value.first);
                if (otherValue == otherKey->second.end())
                    out += "value " + value.first + (side == &before ? " vanished; " : " appeared; ");
                else if (side == &before && (otherValue->second.type != value.second.type ||
                                             otherValue->second.data != value.second.data))
                    out += "value " + value.first + " changed to " +
                           Printable(std::string(otherValue->second.data.begin(), otherValue->second.data.end())) +
                           "; ";
            }
        }
    }
    return out;
}

void ExpectEndedWith(HWND dialog, INT_PTR expected)
{
    INT_PTR result = 0;
    EXPECT_TRUE(standin::DialogEnded(dialog, &result)) << "the dialog is still open";
    EXPECT_EQ(expected, result);
}
