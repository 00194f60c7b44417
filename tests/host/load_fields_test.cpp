// Loading the registry values into the main dialog's ten fields.
#include "fields.h"
#include "test_support.h"

#include <functional>
#include <map>

namespace
{

using standin::Bytes;
using standin::PutString;
using standin::PutValue;
typedef std::map<int, std::string> Texts;

// The texts SeedFullRegistry puts into the fields.
Texts FullTexts()
{
    return Texts{
        { 1000, "Microsoft Windows 98" },
        { 1001, "4.10.2222 A " },
        { 1002, Cp932("株式会社サンプル") },
        { 1003, Cp932("山田 太郎") },
        { 1004, "12345-OEM-0012345-12345" },
        { 1005, "ABCDE-FGHIJ-KLMNO-PQRST-UVWXY" },
        { 1006, "IE 5 5.00.2614.3500" },
        { 1007, "taro" },
        { 1008, "TARO-PC" },
        { 1009, "WORKGROUP" },
    };
}

Texts Without(Texts texts, std::initializer_list<int> controls)
{
    for (int control : controls)
        texts.erase(control);
    return texts;
}

Texts With(Texts texts, int control, const std::string &text)
{
    texts[control] = text;
    return texts;
}

std::string Repeat(char c, size_t count)
{
    return std::string(count, c);
}

struct LoadCase
{
    const char *name;
    std::function<void()> arrange; // runs after SeedFullRegistry
    std::function<Texts()> expected;
};

const std::string kJapanese = "ＭＳ－ＤＯＳ 互換 ﾃｽﾄ";

const LoadCase kLoadCases[] = {
    { "AllPresent", [] {}, [] { return FullTexts(); } },
    { "VersionAndSubVersionJoinedWithBlanksKept",
      [] {
          PutString(kWindowsVersionKey, "VersionNumber", " 4.10.1998 ");
          PutString(kWindowsVersionKey, "SubVersionNumber", "  B");
      },
      [] { return With(FullTexts(), 1001, " 4.10.1998   B"); } },
    { "SubVersionMissing",
      [] { Remove(kWindowsVersionKey, "SubVersionNumber"); },
      [] { return With(FullTexts(), 1001, "4.10.2222"); } },
    { "VersionMissingButSubVersionPresent",
      [] { Remove(kWindowsVersionKey, "VersionNumber"); },
      [] { return Without(FullTexts(), { 1001 }); } },
    { "WindowsVersionKeyMissing", [] { Remove(kWindowsVersionKey); },
      [] { return Without(FullTexts(), { 1000, 1001, 1002, 1003, 1004, 1005, 1006 }); } },
    { "ControlKeyMissing", [] { Remove(kControlKey); },
      [] { return Without(FullTexts(), { 1007 }); } },
    { "VnetsupKeyMissing", [] { Remove(kVnetsupKey); },
      [] { return Without(FullTexts(), { 1008, 1009 }); } },
    { "WindowsVersionKeyDenied", [] { standin::FailOpen(kWindowsVersionKey); },
      [] { return Without(FullTexts(), { 1000, 1001, 1002, 1003, 1004, 1005, 1006 }); } },
    { "AllKeysMissing", [] { standin::Reset(); }, [] { return Texts(); } },
    { "Value127BytesShownWhole", [] { PutString(kWindowsVersionKey, "ProductName", Repeat('p', 127)); },
      [] { return With(FullTexts(), 1000, Repeat('p', 127)); } },
    { "Value128BytesWithoutZeroShowsFirst127",
      [] { PutValue(kWindowsVersionKey, "ProductId", REG_SZ, BytesOf(Repeat('i', 128), false)); },
      [] { return With(FullTexts(), 1004, Repeat('i', 127)); } },
    { "Value128BytesWithoutZeroCutBeforeHalfCharacter",
      [] {
          // 126 single bytes, then a double-byte character at bytes 127 and 128.
          PutValue(kWindowsVersionKey, "ProductId", REG_BINARY,
                   BytesOf(Repeat('i', 126) + Cp932("あ"), false));
      },
      [] { return With(FullTexts(), 1004, Repeat('i', 126)); } },
    { "Value129BytesLeavesFieldEmpty",
      [] { PutString(kWindowsVersionKey, "ProductKey", Repeat('k', 128)); },
      [] { return Without(FullTexts(), { 1005 }); } },
    { "EmptyValueShowsEmptyText", [] { PutString(kControlKey, "Current User", ""); },
      [] { return With(FullTexts(), 1007, ""); } },
    { "JapaneseValueShownAsStored", [] { PutString(kVnetsupKey, "Workgroup", Cp932(kJapanese)); },
      [] { return With(FullTexts(), 1009, Cp932(kJapanese)); } },
    { "ShortDataWithoutZeroShowsOnlyItsBytes",
      [] { PutValue(kVnetsupKey, "ComputerName", REG_BINARY, BytesOf("PC", false)); },
      [] { return With(FullTexts(), 1008, "PC"); } },
    { "DataEndingInHalfCharacterDropsIt",
      [] { PutValue(kVnetsupKey, "ComputerName", REG_SZ, Bytes{ 'P', 'C', 0x82, 0 }); },
      [] { return With(FullTexts(), 1008, "PC"); } },
    { "OtherTypesShownUpToFirstZero",
      [] { PutValue(kWindowsVersionKey, "Plus! VersionNumber", REG_DWORD, Bytes{ '4', '2', 0, 0 }); },
      [] { return With(FullTexts(), 1006, "42"); } },
    { "TwoLong127ByteVersionTextsCutWithoutOverflow",
      [] {
          PutString(kWindowsVersionKey, "VersionNumber", Repeat('v', 127));
          PutString(kWindowsVersionKey, "SubVersionNumber", Repeat('s', 127));
      },
      [] { return With(FullTexts(), 1001, Repeat('v', 127)); } },
    { "JoinedVersionCutAt127Bytes",
      [] {
          PutString(kWindowsVersionKey, "VersionNumber", Repeat('v', 100));
          PutString(kWindowsVersionKey, "SubVersionNumber", Repeat('s', 100));
      },
      [] { return With(FullTexts(), 1001, Repeat('v', 100) + Repeat('s', 27)); } },
    { "JoinedVersionCutAtCharacterBoundary",
      [] {
          // 27 bytes of room for double-byte characters: 13 whole ones fit.
          PutString(kWindowsVersionKey, "VersionNumber", Repeat('v', 100));
          std::string kana;
          for (int i = 0; i < 30; i++)
              kana += "ア";
          PutString(kWindowsVersionKey, "SubVersionNumber", Cp932(kana));
      },
      [] {
          std::string kana;
          for (int i = 0; i < 13; i++)
              kana += "ア";
          return With(FullTexts(), 1001, Repeat('v', 100) + Cp932(kana));
      } },
    // The two version texts join as one string: a lead byte ending the
    // version pairs with the sub-version's first byte, and the cut falls on
    // the joined text's character boundaries.
    { "VersionEndingInLeadBytePairsWithSubVersion",
      [] {
          PutValue(kWindowsVersionKey, "VersionNumber", REG_SZ, Bytes{ '4', '.', '1', '0', 0x8A, 0 });
          PutString(kWindowsVersionKey, "SubVersionNumber", "A");
      },
      [] { return With(FullTexts(), 1001, std::string("4.10\x8A" "A")); } },
    { "Version128BytesWithoutZeroCutBeforeSubVersion",
      [] {
          PutValue(kWindowsVersionKey, "VersionNumber", REG_SZ, BytesOf(Repeat('a', 126) + Cp932("あ"), false));
          PutString(kWindowsVersionKey, "SubVersionNumber", "s");
      },
      [] { return With(FullTexts(), 1001, Repeat('a', 126)); } },
    { "Version127BytesEndingInLeadByteLeavesNoRoom",
      [] {
          PutString(kWindowsVersionKey, "VersionNumber", Repeat('a', 126) + "\x8A");
          PutString(kWindowsVersionKey, "SubVersionNumber", "s");
      },
      [] { return With(FullTexts(), 1001, Repeat('a', 126)); } },
    { "LeadBytesRunOnAcrossTheJoin",
      [] {
          PutString(kWindowsVersionKey, "VersionNumber", Repeat('\x81', 43));
          PutString(kWindowsVersionKey, "SubVersionNumber", Repeat('\x81', 43));
      },
      [] { return With(FullTexts(), 1001, Repeat('\x81', 86)); } },
    { "TrailByteWithLeadByteValueKeptAtCut",
      [] {
          // "亜" is 0x88 0x9F; its trail byte 0x9F is also a lead-byte value,
          // so only a scan from the start sees that byte 127 ends a character.
          PutValue(kWindowsVersionKey, "ProductName", REG_SZ,
                   BytesOf(Repeat('n', 125) + Cp932("亜") + "x", false));
      },
      [] { return With(FullTexts(), 1000, Repeat('n', 125) + Cp932("亜")); } },
};

void PrintTo(const LoadCase &c, std::ostream *os)
{
    *os << c.name;
}

class LoadFieldsTable : public StandinTest, public ::testing::WithParamInterface<LoadCase>
{
};

TEST_P(LoadFieldsTable, ShowsExpectedTexts)
{
    SeedFullRegistry();
    GetParam().arrange();
    HWND dialog = standin::NewDialog(129);

    LoadFields(dialog);

    Texts shown = standin::ControlTexts(dialog);
    Texts expected = GetParam().expected();
    for (int control = 1000; control <= 1009; control++)
    {
        bool isShown = shown.count(control) != 0;
        bool isExpected = expected.count(control) != 0;
        EXPECT_EQ(isExpected, isShown) << "control " << control << (isShown ? " was set to " + Printable(shown[control]) : " was not set");
        if (isShown && isExpected)
            EXPECT_EQ(expected[control], shown[control])
                << "control " << control << ": expected " << Printable(expected[control]) << ", shown "
                << Printable(shown[control]);
    }
    for (auto &text : shown)
        EXPECT_TRUE(text.first >= 1000 && text.first <= 1009) << "control " << text.first << " set";
    EXPECT_TRUE(standin::MessageBoxCalls().empty());
    EXPECT_EQ(0, standin::OpenKeyCount());
}

INSTANTIATE_TEST_SUITE_P(Registry, LoadFieldsTable, ::testing::ValuesIn(kLoadCases),
                         [](const ::testing::TestParamInfo<LoadCase> &info) { return info.param.name; });

std::vector<std::string> CallsAsText()
{
    std::vector<std::string> calls;
    for (const standin::RegCall &call : standin::RegCalls())
        calls.push_back(call.op + " " + call.name);
    return calls;
}

TEST_F(StandinTest, FullRegistryOpensQueriesAndClosesInOrder)
{
    SeedFullRegistry();
    LoadFields(standin::NewDialog(129));

    std::vector<std::string> expected = {
        std::string("open ") + kWindowsVersionKey,
        "query SubVersionNumber",
        "query ProductName",
        "query VersionNumber",
        "query RegisteredOrganization",
        "query RegisteredOwner",
        "query ProductId",
        "query ProductKey",
        "query Plus! VersionNumber",
        std::string("close ") + kWindowsVersionKey,
        std::string("open ") + kControlKey,
        "query Current User",
        std::string("close ") + kControlKey,
        std::string("open ") + kVnetsupKey,
        "query ComputerName",
        "query Workgroup",
        std::string("close ") + kVnetsupKey,
    };
    EXPECT_EQ(expected, CallsAsText());
    for (const standin::RegCall &call : standin::RegCalls())
    {
        if (call.op == "open")
            EXPECT_EQ((DWORD)KEY_ALL_ACCESS, call.access) << call.name;
        EXPECT_NE("set", call.op) << "loading wrote " << call.name;
    }
}

TEST_F(StandinTest, EveryQueryOffersTheWhole128ByteBuffer)
{
    // A value too large for the buffer changes the size word; the next
    // query must still offer 128 bytes.
    SeedFullRegistry();
    PutString(kWindowsVersionKey, "SubVersionNumber", Repeat('s', 200));
    PutString(kWindowsVersionKey, "ProductName", Repeat('p', 300));
    PutString(kWindowsVersionKey, "VersionNumber", "4");
    LoadFields(standin::NewDialog(129));

    int queries = 0;
    for (const standin::RegCall &call : standin::RegCalls())
    {
        if (call.op == "query")
        {
            queries++;
            EXPECT_EQ(128u, call.sizeIn) << call.name;
        }
    }
    EXPECT_EQ(11, queries);
}

TEST_F(StandinTest, NoCloseAfterFailedOpen)
{
    SeedFullRegistry();
    Remove(kControlKey);
    standin::FailOpen(kWindowsVersionKey);
    LoadFields(standin::NewDialog(129));

    std::vector<std::string> expected = {
        std::string("open ") + kWindowsVersionKey,
        std::string("open ") + kControlKey,
        std::string("open ") + kVnetsupKey,
        "query ComputerName",
        "query Workgroup",
        std::string("close ") + kVnetsupKey,
    };
    EXPECT_EQ(expected, CallsAsText());
    EXPECT_EQ(0, standin::OpenKeyCount());
}

} // namespace
