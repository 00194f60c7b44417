// The entry function and the two dialog procedures.
#include "palvorine.h"
#include "test_support.h"

namespace
{

const UINT kQuestionStyle = 0x00000004u | 0x00000020u; // MB_YESNO | MB_ICONQUESTION
const HINSTANCE kInstance = (HINSTANCE)0x400000;

INT_PTR Command(DLGPROC proc, HWND dialog, WORD id, WORD notification = 0)
{
    return proc(dialog, WM_COMMAND, MAKEWPARAM(id, notification), 0);
}

HWND OpenMainDialog()
{
    SeedFullRegistry();
    HWND dialog = standin::NewDialog(129);
    EXPECT_EQ(TRUE, MainDialogProc(dialog, WM_INITDIALOG, 0, 0));
    return dialog;
}

TEST_F(StandinTest, WinMainRunsMainDialogAndReturnsZero)
{
    SeedFullRegistry();
    standin::QueueCommand(IDCANCEL);

    EXPECT_EQ(0, WinMain(kInstance, nullptr, (LPSTR) "/ignored args", 0));

    EXPECT_EQ(kInstance, g_instance);
    ASSERT_EQ(1u, standin::DialogRuns().size());
    const standin::DialogRun &run = standin::DialogRuns()[0];
    EXPECT_EQ(kInstance, run.instance);
    EXPECT_EQ(129, run.templateId);
    EXPECT_EQ(nullptr, run.owner);
    EXPECT_EQ((DLGPROC)MainDialogProc, run.dialogProc);
    EXPECT_EQ(0, run.initParam);
    EXPECT_EQ(TRUE, run.initResult);
    EXPECT_EQ("Microsoft Windows 98", standin::ControlText(run.dialog, 1000)) << "fields not loaded on WM_INITDIALOG";
    EXPECT_TRUE(run.ended);
    EXPECT_EQ(2, run.result);
}

TEST_F(StandinTest, WinMainReturnsZeroWhenDialogNeverRuns)
{
    // With nothing to do, the stand-in's DialogBoxParamA gives up with -1,
    // as the platform does when the dialog cannot be created.
    EXPECT_EQ(0, WinMain(kInstance, nullptr, (LPSTR) "", 1));
    ASSERT_EQ(1u, standin::DialogRuns().size());
    EXPECT_EQ(-1, standin::DialogRuns()[0].result);
}

TEST_F(StandinTest, CancelEndsWithTwoWhateverTheNotification)
{
    for (WORD notification : { 0, 1, 0x0300 })
    {
        HWND dialog = OpenMainDialog();
        EXPECT_EQ(TRUE, Command(MainDialogProc, dialog, IDCANCEL, notification));
        SCOPED_TRACE(notification);
        ExpectEndedWith(dialog, 2);
    }
    EXPECT_TRUE(standin::MessageBoxCalls().empty());
}

TEST_F(StandinTest, ExitAsksAndNoKeepsTheDialogAsTyped)
{
    HWND dialog = OpenMainDialog();
    standin::SetControlText(dialog, 1003, "edited owner");
    standin::QueueMessageBoxAnswer(IDNO);

    EXPECT_EQ(FALSE, Command(MainDialogProc, dialog, 105));

    ASSERT_EQ(1u, standin::MessageBoxCalls().size());
    const standin::MessageBoxCall &box = standin::MessageBoxCalls()[0];
    EXPECT_EQ(dialog, box.owner);
    EXPECT_EQ(Printable(Cp932("終了しますか？")), Printable(box.text));
    EXPECT_EQ(Printable(Cp932("終了")), Printable(box.caption));
    EXPECT_EQ(kQuestionStyle, box.style);
    EXPECT_FALSE(standin::DialogEnded(dialog, nullptr));
    EXPECT_EQ("edited owner", standin::ControlText(dialog, 1003));
}

TEST_F(StandinTest, ExitConfirmedEndsWith105)
{
    for (int answer : { IDYES, IDOK, IDCANCEL })
    {
        SCOPED_TRACE(answer);
        standin::Reset();
        HWND dialog = OpenMainDialog();
        standin::QueueMessageBoxAnswer(answer);

        EXPECT_EQ(TRUE, Command(MainDialogProc, dialog, 105));

        EXPECT_EQ(1u, standin::MessageBoxCalls().size());
        ExpectEndedWith(dialog, 105);
    }
}

TEST_F(StandinTest, OtherCommandsAreHandledAndDoNothing)
{
    HWND dialog = OpenMainDialog();
    std::map<int, std::string> texts = standin::ControlTexts(dialog);
    size_t calls = standin::RegCalls().size();

    for (WORD id : { 1000, 1002, 1003, 1009, 103, 106, 0xFFFF, 0 })
        EXPECT_EQ(TRUE, Command(MainDialogProc, dialog, id, 0x0300)) << "command " << id;

    EXPECT_FALSE(standin::DialogEnded(dialog, nullptr));
    EXPECT_TRUE(standin::MessageBoxCalls().empty());
    EXPECT_TRUE(standin::DialogRuns().empty());
    EXPECT_EQ(calls, standin::RegCalls().size());
    EXPECT_EQ(texts, standin::ControlTexts(dialog));
}

TEST_F(StandinTest, OtherMessagesAreLeftToThePlatform)
{
    HWND dialog = OpenMainDialog();
    for (UINT message : { 0x0010u /* WM_CLOSE */, 0x000Fu /* WM_PAINT */, 0x0113u /* WM_TIMER */,
                          0x0112u /* WM_SYSCOMMAND */, 0x0100u /* WM_KEYDOWN */ })
    {
        EXPECT_EQ(FALSE, MainDialogProc(dialog, message, IDOK, 0)) << "message " << message;
        EXPECT_EQ(FALSE, VersionDialogProc(dialog, message, IDOK, 0)) << "message " << message;
    }
    EXPECT_FALSE(standin::DialogEnded(dialog, nullptr));
}

TEST_F(StandinTest, VersionCommandOpensVersionDialogOverMain)
{
    SeedFullRegistry();
    standin::QueueCommand(104);
    standin::QueueCommand(IDOK);      // reaches the version dialog
    standin::QueueCommand(IDCANCEL);  // then the main dialog again

    EXPECT_EQ(0, WinMain(kInstance, nullptr, (LPSTR) "", 1));

    ASSERT_EQ(2u, standin::DialogRuns().size());
    const standin::DialogRun &main = standin::DialogRuns()[0];
    const standin::DialogRun &version = standin::DialogRuns()[1];
    EXPECT_EQ(kInstance, version.instance);
    EXPECT_EQ(103, version.templateId);
    EXPECT_EQ(main.dialog, version.owner);
    EXPECT_EQ((DLGPROC)VersionDialogProc, version.dialogProc);
    EXPECT_EQ(0, version.initParam);
    EXPECT_EQ(FALSE, version.initResult);
    EXPECT_EQ(1, version.result);
    EXPECT_EQ(2, main.result);
    EXPECT_TRUE(standin::ControlTexts(version.dialog).empty());

    // The command that opened it was answered TRUE, and nothing was saved.
    bool answered = false;
    for (const standin::ProcAnswer &answer : standin::ProcAnswers())
    {
        if (answer.dialog == main.dialog && answer.message == WM_COMMAND && LOWORD(answer.wParam) == 104)
        {
            answered = true;
            EXPECT_EQ(TRUE, answer.result);
        }
    }
    EXPECT_TRUE(answered);
    for (const standin::RegCall &call : standin::RegCalls())
        EXPECT_NE("set", call.op);
}

TEST_F(StandinTest, VersionCommandLeavesMainFieldsUntouched)
{
    HWND dialog = OpenMainDialog();
    standin::SetControlText(dialog, 1002, "typed, not saved");
    std::map<int, std::string> texts = standin::ControlTexts(dialog);
    g_instance = kInstance;
    standin::QueueCommand(IDOK);

    EXPECT_EQ(TRUE, Command(MainDialogProc, dialog, 104));

    EXPECT_EQ(texts, standin::ControlTexts(dialog));
    EXPECT_FALSE(standin::DialogEnded(dialog, nullptr));
    ASSERT_EQ(1u, standin::DialogRuns().size());
    EXPECT_EQ(kInstance, standin::DialogRuns()[0].instance);
}

TEST_F(StandinTest, VersionDialogEndsOnOkAndOnCancel)
{
    struct Case
    {
        WORD command;
        INT_PTR result;
    };
    for (const Case &c : { Case{ IDOK, 1 }, Case{ IDCANCEL, 2 } })
    {
        HWND dialog = standin::NewDialog(103);
        EXPECT_EQ(TRUE, Command(VersionDialogProc, dialog, c.command)) << c.command;
        SCOPED_TRACE(c.command);
        ExpectEndedWith(dialog, c.result);
    }
}

TEST_F(StandinTest, VersionDialogLeavesEverythingElseToThePlatform)
{
    HWND dialog = standin::NewDialog(103);
    EXPECT_EQ(FALSE, VersionDialogProc(dialog, WM_INITDIALOG, 0, 0));
    for (WORD id : { 104, 105, 1000, 0 })
        EXPECT_EQ(FALSE, Command(VersionDialogProc, dialog, id)) << "command " << id;
    EXPECT_FALSE(standin::DialogEnded(dialog, nullptr));
    EXPECT_TRUE(standin::RegCalls().empty());
}

} // namespace
