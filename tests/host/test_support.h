// Shared fixtures of the host tests.
#ifndef PALVORINE_TEST_SUPPORT_H
#define PALVORINE_TEST_SUPPORT_H

#include "standin_control.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

// Key paths as the registry layout of Windows 95/98 names them.
extern const char kWindowsVersionKey[];
extern const char kControlKey[];
extern const char kVnetsupKey[];

// The text in code page 932, converted by iconv rather than by the compiler
// that built the program's own literals.
std::string Cp932(const std::string &utf8);

// Every registry value the dialog shows, with plausible Windows 98 data.
void SeedFullRegistry();

// Drops a whole key, or one value of it, keeping everything else.
void Remove(const char *path, const char *valueName = nullptr);

// Registry contents of the three keys, and their comparison.
typedef std::map<std::string, std::map<std::string, standin::RegValue>> Snapshot;
Snapshot TakeSnapshot();
// Empty when equal; otherwise what differs.
std::string Differences(const Snapshot &before, const Snapshot &after);

// The dialog has ended, with this result.
void ExpectEndedWith(HWND dialog, INT_PTR expected);

// Bytes of a string, optionally with its zero byte.
standin::Bytes BytesOf(const std::string &text, bool withZero = true);

// The 128 bytes the program writes for a text: the text, then zeros.
standin::Bytes PaddedTo128(const std::string &text);

// A readable form of bytes for failure messages.
std::string Printable(const std::string &bytes);

class StandinTest : public ::testing::Test
{
protected:
    void SetUp() override { standin::Reset(); }
    void TearDown() override { standin::Reset(); }
};

#endif
