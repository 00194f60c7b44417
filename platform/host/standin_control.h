/* What the host tests set up and inspect in the Win32 stand-in: an in-memory
   registry under HKEY_LOCAL_MACHINE, dialogs with their control texts, message
   boxes, and a script of user actions that DialogBoxParamA delivers. */
#ifndef PALVORINE_STANDIN_CONTROL_H
#define PALVORINE_STANDIN_CONTROL_H

#include "win32_standin.h"

#include <map>
#include <string>
#include <vector>

namespace standin
{

typedef std::vector<unsigned char> Bytes;

struct RegValue
{
    DWORD type;
    Bytes data;
};

/* One registry call, in the order made. `name` is the key path for an open,
   the value name for a query or set, and the key path for a close. */
struct RegCall
{
    std::string op;     /* "open", "query", "set", "close" */
    std::string name;
    DWORD access;       /* open: access mask asked for */
    DWORD sizeIn;       /* query: buffer size passed in; set: data size */
    DWORD type;         /* set: value type */
    LONG result;
};

struct MessageBoxCall
{
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

struct DialogRun
{
    HINSTANCE instance;
    int templateId;
    HWND owner;
    DLGPROC dialogProc;
    LPARAM initParam;
    HWND dialog;
    INT_PTR initResult;  /* what the procedure answered to WM_INITDIALOG */
    bool ended;
    INT_PTR result;
};

/* Forget everything: registry, logs, dialogs, scripts. */
void Reset();

/* Registry under HKEY_LOCAL_MACHINE. Key paths and value names compare
   without regard to ASCII case, as the registry's do. */
void AddKey(const std::string &path);
void PutValue(const std::string &path, const std::string &name, DWORD type, const Bytes &data);
void PutString(const std::string &path, const std::string &name, const std::string &text); /* REG_SZ, with its zero */
void FailOpen(const std::string &path);                        /* RegOpenKeyExA answers ERROR_ACCESS_DENIED */
void FailSet(const std::string &path, const std::string &name); /* RegSetValueExA answers ERROR_ACCESS_DENIED */
bool HasKey(const std::string &path);
bool GetValue(const std::string &path, const std::string &name, RegValue *value);
std::map<std::string, RegValue> KeyValues(const std::string &path);
const std::vector<RegCall> &RegCalls();
int OpenKeyCount(); /* handles opened and not yet closed */

/* Dialogs. A test may make a dialog handle of its own to call a procedure
   directly; DialogBoxParamA makes one for each dialog it runs. */
HWND NewDialog(int templateId);
bool HasControlText(HWND dialog, int controlId);
std::string ControlText(HWND dialog, int controlId);
void SetControlText(HWND dialog, int controlId, const std::string &text);
std::map<int, std::string> ControlTexts(HWND dialog);
bool DialogEnded(HWND dialog, INT_PTR *result);
const std::vector<DialogRun> &DialogRuns();

/* Scripted user actions. DialogBoxParamA sends WM_INITDIALOG, then takes the
   actions in order and hands each to the innermost dialog still open, until
   that dialog ends. If the script runs out first, it returns -1 and leaves
   the dialog marked as not ended. */
void QueueCommand(WORD commandId);
void QueueMessage(UINT message, WPARAM wParam, LPARAM lParam);
void QueueTyping(int controlId, const std::string &text); /* replaces the control's text */
size_t PendingActions();

/* Message boxes answer from this queue; with it empty, IDOK for MB_OK boxes
   and IDYES for the others. */
void QueueMessageBoxAnswer(int answer);
const std::vector<MessageBoxCall> &MessageBoxCalls();

/* Every message each procedure returned, in order: for checking answers of
   messages delivered through DialogBoxParamA. */
struct ProcAnswer
{
    HWND dialog;
    UINT message;
    WPARAM wParam;
    INT_PTR result;
};
const std::vector<ProcAnswer> &ProcAnswers();

} // namespace standin

#endif
