// OK writes the registered organisation and owner back, and nothing else.
#include "fields.h"
#include "palvorine.h"
#include "test_support.h"

namespace
{

using standin::Bytes;
using standin::PutString;

const UINT kWarningStyle = 0x00000000u | 0x00000030u; // MB_OK | MB_ICONWARNING

std::string Repeat(char c, size_t count)
{
    return std::string(count, c);
}

// Opens the main dialog on the current registry, as the platform would.
HWND OpenMainDialog()
{
    HWND dialog = standin::NewDialog(129);
    EXPECT_EQ(TRUE, MainDialogProc(dialog, WM_INITDIALOG, 0, 0));
    return dialog;
}

INT_PTR Command(HWND dialog, WORD id)
{
    return MainDialogProc(dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

std::vector<standin::RegCall> CallsSince(size_t first)
{
    const std::vector<standin::RegCall> &calls = standin::RegCalls();
    return std::vector<standin::RegCall>(calls.begin() + first, calls.end());
}

void ExpectValue(const char *name, const Bytes &expected)
{
    standin::RegValue value;
    ASSERT_TRUE(standin::GetValue(kWindowsVersionKey, name, &value)) << name << " missing";
    EXPECT_EQ((DWORD)REG_SZ, value.type) << name;
    EXPECT_EQ(Printable(std::string(expected.begin(), expected.end())),
              Printable(std::string(value.data.begin(), value.data.end())))
        << name;
}

// Every value of the three keys but the two saved ones is as it was.
void ExpectOnlyOwnerValuesChanged(Snapshot before)
{
    Snapshot after = TakeSnapshot();
    for (Snapshot *side : { &before, &after })
    {
        (*side)[kWindowsVersionKey].erase("RegisteredOrganization");
        (*side)[kWindowsVersionKey].erase("RegisteredOwner");
    }
    EXPECT_EQ("", Differences(before, after));
}

struct SaveCase
{
    const char *name;
    bool removeOwnerValues;     // the two values do not exist when the dialog opens
    const char *typedOrganization; // nullptr: left as loaded
    const char *typedOwner;
    std::string (*expectedOrganization)();
    std::string (*expectedOwner)();
};

const SaveCase kSaveCases[] = {
    { "BothUnchangedRewrittenWithSameTexts", false, nullptr, nullptr,
      [] { return Cp932("株式会社サンプル"); }, [] { return Cp932("山田 太郎"); } },
    { "EmptiedFieldStoresEmptyString", false, "", nullptr,
      [] { return std::string(); }, [] { return Cp932("山田 太郎"); } },
    { "MissingValuesCreated", true, "Example Co.", "Hanako",
      [] { return std::string("Example Co."); }, [] { return std::string("Hanako"); } },
    { "MissingValuesLeftEmptyCreatedEmpty", true, nullptr, nullptr,
      [] { return std::string(); }, [] { return std::string(); } },
    { "JapaneseTextsStoredAsTyped", false, "有限会社テスト", "鈴木 ﾊﾅｺ",
      [] { return Cp932("有限会社テスト"); }, [] { return Cp932("鈴木 ﾊﾅｺ"); } },
    { "LongTextStoredAsFirst127Bytes", false, nullptr, "@200",
      [] { return Cp932("株式会社サンプル"); }, [] { return Repeat('o', 127); } },
    { "HalfCharacterAtByte127Dropped", false, "@126+kanji", nullptr,
      [] { return Repeat('a', 126); }, [] { return Cp932("山田 太郎"); } },
};

// "@200" and "@126+kanji" stand for texts built here, not literals.
std::string Typed(const char *pattern)
{
    std::string text = pattern;
    if (text == "@200")
        return Repeat('o', 200);
    if (text == "@126+kanji")
        return Repeat('a', 126) + Cp932("漢字");
    return Cp932(text);
}

void PrintTo(const SaveCase &c, std::ostream *os)
{
    *os << c.name;
}

class SaveOwnerFieldsTable : public StandinTest, public ::testing::WithParamInterface<SaveCase>
{
};

TEST_P(SaveOwnerFieldsTable, WritesBothValuesAs128Bytes)
{
    const SaveCase &c = GetParam();
    SeedFullRegistry();
    if (c.removeOwnerValues)
    {
        Remove(kWindowsVersionKey, "RegisteredOrganization");
        Remove(kWindowsVersionKey, "RegisteredOwner");
    }
    HWND dialog = OpenMainDialog();
    if (c.typedOrganization)
        standin::SetControlText(dialog, 1002, Typed(c.typedOrganization));
    if (c.typedOwner)
        standin::SetControlText(dialog, 1003, Typed(c.typedOwner));
    Snapshot before = TakeSnapshot();
    size_t firstCall = standin::RegCalls().size();

    EXPECT_EQ(TRUE, Command(dialog, IDOK));

    ExpectValue("RegisteredOrganization", PaddedTo128(c.expectedOrganization()));
    ExpectValue("RegisteredOwner", PaddedTo128(c.expectedOwner()));
    ExpectOnlyOwnerValuesChanged(before);

    std::vector<standin::RegCall> calls = CallsSince(firstCall);
    ASSERT_EQ(4u, calls.size());
    EXPECT_EQ("open", calls[0].op);
    EXPECT_EQ(kWindowsVersionKey, calls[0].name);
    EXPECT_EQ((DWORD)KEY_ALL_ACCESS, calls[0].access);
    EXPECT_EQ("set", calls[1].op);
    EXPECT_EQ("RegisteredOrganization", calls[1].name);
    EXPECT_EQ("set", calls[2].op);
    EXPECT_EQ("RegisteredOwner", calls[2].name);
    for (int i : { 1, 2 })
    {
        EXPECT_EQ((DWORD)REG_SZ, calls[i].type);
        EXPECT_EQ(128u, calls[i].sizeIn);
    }
    EXPECT_EQ("close", calls[3].op);
    EXPECT_EQ(0, standin::OpenKeyCount());

    EXPECT_TRUE(standin::MessageBoxCalls().empty());
    ExpectEndedWith(dialog, 1);
}

INSTANTIATE_TEST_SUITE_P(Texts, SaveOwnerFieldsTable, ::testing::ValuesIn(kSaveCases),
                         [](const ::testing::TestParamInfo<SaveCase> &info) { return info.param.name; });

void ExpectSaveWarning(HWND dialog)
{
    ASSERT_EQ(1u, standin::MessageBoxCalls().size());
    const standin::MessageBoxCall &box = standin::MessageBoxCalls()[0];
    EXPECT_EQ(dialog, box.owner);
    EXPECT_EQ(Printable(Cp932("エラーが発生しました\n強制終了します")), Printable(box.text));
    EXPECT_EQ(Printable(Cp932("エラー")), Printable(box.caption));
    EXPECT_EQ(kWarningStyle, box.style);
}

TEST_F(StandinTest, KeyThatWillNotOpenWarnsWritesNothingAndEnds)
{
    SeedFullRegistry();
    HWND dialog = OpenMainDialog();
    standin::SetControlText(dialog, 1003, "changed");
    standin::FailOpen(kWindowsVersionKey);
    Snapshot before = TakeSnapshot();
    size_t firstCall = standin::RegCalls().size();

    EXPECT_EQ(TRUE, Command(dialog, IDOK));

    ExpectSaveWarning(dialog);
    std::vector<standin::RegCall> calls = CallsSince(firstCall);
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ("open", calls[0].op);
    EXPECT_EQ("", Differences(before, TakeSnapshot()));
    ExpectEndedWith(dialog, 1);
}

TEST_F(StandinTest, FailedWriteStillTriesTheOtherAndWarnsOnce)
{
    struct Failure
    {
        const char *failing;
        const char *written;
        const char *writtenText;
    };
    for (const Failure &f : { Failure{ "RegisteredOrganization", "RegisteredOwner", "New Owner" },
                              Failure{ "RegisteredOwner", "RegisteredOrganization", "New Org" } })
    {
        SCOPED_TRACE(f.failing);
        standin::Reset();
        SeedFullRegistry();
        HWND dialog = OpenMainDialog();
        standin::SetControlText(dialog, 1002, "New Org");
        standin::SetControlText(dialog, 1003, "New Owner");
        standin::FailSet(kWindowsVersionKey, f.failing);
        size_t firstCall = standin::RegCalls().size();

        EXPECT_EQ(TRUE, Command(dialog, IDOK));

        std::vector<standin::RegCall> calls = CallsSince(firstCall);
        ASSERT_EQ(4u, calls.size());
        EXPECT_EQ("RegisteredOrganization", calls[1].name);
        EXPECT_EQ("RegisteredOwner", calls[2].name);
        EXPECT_EQ("close", calls[3].op);
        ExpectValue(f.written, PaddedTo128(f.writtenText));
        ExpectSaveWarning(dialog);
        ExpectEndedWith(dialog, 1);
    }
}

// Cancel (also what Esc and the close box send) and a confirmed exit
// leave the registry as it was, whatever was typed.
TEST_F(StandinTest, CancelAndExitWriteNothing)
{
    struct Ending
    {
        const char *name;
        WORD command;
        INT_PTR result;
    };
    for (const Ending &ending : { Ending{ "cancel", IDCANCEL, 2 }, Ending{ "exit, yes", 105, 105 } })
    {
        SCOPED_TRACE(ending.name);
        standin::Reset();
        SeedFullRegistry();
        Snapshot before = TakeSnapshot();
        standin::QueueTyping(1002, "typed organisation");
        standin::QueueTyping(1003, "typed owner");
        standin::QueueCommand(ending.command);
        standin::QueueMessageBoxAnswer(IDYES);

        EXPECT_EQ(0, WinMain((HINSTANCE)0x400000, nullptr, (LPSTR) "", 1));

        ASSERT_EQ(1u, standin::DialogRuns().size());
        EXPECT_TRUE(standin::DialogRuns()[0].ended);
        EXPECT_EQ(ending.result, standin::DialogRuns()[0].result);
        for (const standin::RegCall &call : standin::RegCalls())
            EXPECT_NE("set", call.op) << call.name;
        EXPECT_EQ("", Differences(before, TakeSnapshot()));
    }
}

} // namespace
