#include "standin_control.h"

#include <algorithm>
#include <deque>
#include <stdexcept>

namespace standin
{
namespace
{

std::string Fold(const std::string &text)
{
    std::string folded = text;
    for (char &c : folded)
    {
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    }
    return folded;
}

struct Value
{
    std::string name; /* as first stored */
    DWORD type;
    Bytes data;
    bool failSet;
};

struct Key
{
    std::string path;
    bool failOpen;
    std::map<std::string, Value> values; /* by folded name */
};

struct Dialog
{
    int templateId;
    std::map<int, std::string> texts;
    bool ended;
    INT_PTR result;
};

enum ActionKind
{
    ACTION_MESSAGE,
    ACTION_TYPING
};

struct Action
{
    ActionKind kind;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int controlId;
    std::string text;
};

const UINT_PTR FirstKeyHandle = 0x1000;
const UINT_PTR FirstDialogHandle = 0x10000;

std::map<std::string, Key> registry;             /* by folded path */
std::map<UINT_PTR, std::string> openHandles;     /* handle -> folded path */
UINT_PTR nextKeyHandle = FirstKeyHandle;
std::vector<RegCall> regCalls;

std::vector<Dialog> dialogs; /* handle = FirstDialogHandle + index */
std::vector<DialogRun> dialogRuns;
std::vector<HWND> openDialogStack;
std::deque<Action> actions;
std::deque<int> messageBoxAnswers;
std::vector<MessageBoxCall> messageBoxCalls;
std::vector<ProcAnswer> procAnswers;

Key *FindKey(const std::string &path)
{
    auto found = registry.find(Fold(path));
    return found == registry.end() ? nullptr : &found->second;
}

Key &NeedKey(const std::string &path)
{
    Key *key = FindKey(path);
    if (!key)
        throw std::logic_error("no such key in the stand-in registry: " + path);
    return *key;
}

Key *KeyOfHandle(HKEY handle)
{
    auto open = openHandles.find((UINT_PTR)handle);
    return open == openHandles.end() ? nullptr : &registry[open->second];
}

Dialog *DialogOf(HWND dialog)
{
    UINT_PTR index = (UINT_PTR)dialog - FirstDialogHandle;
    if ((UINT_PTR)dialog < FirstDialogHandle || index >= dialogs.size())
        return nullptr;
    return &dialogs[index];
}

Dialog &NeedDialog(HWND dialog)
{
    Dialog *found = DialogOf(dialog);
    if (!found)
        throw std::logic_error("not a stand-in dialog handle");
    return *found;
}

INT_PTR Deliver(DLGPROC dialogProc, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = dialogProc(dialog, message, wParam, lParam);
    procAnswers.push_back(ProcAnswer{ dialog, message, wParam, result });
    return result;
}

} // namespace

void Reset()
{
    registry.clear();
    openHandles.clear();
    nextKeyHandle = FirstKeyHandle;
    regCalls.clear();
    dialogs.clear();
    dialogRuns.clear();
    openDialogStack.clear();
    actions.clear();
    messageBoxAnswers.clear();
    messageBoxCalls.clear();
    procAnswers.clear();
}

void AddKey(const std::string &path)
{
    Key &key = registry[Fold(path)];
    if (key.path.empty())
        key.path = path;
}

void PutValue(const std::string &path, const std::string &name, DWORD type, const Bytes &data)
{
    AddKey(path);
    Value &value = NeedKey(path).values[Fold(name)];
    if (value.name.empty())
        value.name = name;
    value.type = type;
    value.data = data;
}

void PutString(const std::string &path, const std::string &name, const std::string &text)
{
    Bytes data(text.begin(), text.end());
    data.push_back(0);
    PutValue(path, name, REG_SZ, data);
}

void FailOpen(const std::string &path)
{
    AddKey(path);
    NeedKey(path).failOpen = true;
}

void FailSet(const std::string &path, const std::string &name)
{
    AddKey(path);
    Value &value = NeedKey(path).values[Fold(name)];
    if (value.name.empty())
    {
        /* A write that fails on a value that does not exist yet: keep the
           value absent, only remember the failure. */
        value.name = name;
        value.type = REG_NONE;
    }
    value.failSet = true;
}

bool HasKey(const std::string &path)
{
    return FindKey(path) != nullptr;
}

bool GetValue(const std::string &path, const std::string &name, RegValue *out)
{
    Key *key = FindKey(path);
    if (!key)
        return false;
    auto found = key->values.find(Fold(name));
    if (found == key->values.end() || found->second.type == REG_NONE)
        return false;
    if (out)
        *out = RegValue{ found->second.type, found->second.data };
    return true;
}

std::map<std::string, RegValue> KeyValues(const std::string &path)
{
    std::map<std::string, RegValue> values;
    Key *key = FindKey(path);
    if (!key)
        return values;
    for (auto &entry : key->values)
    {
        if (entry.second.type != REG_NONE)
            values[entry.second.name] = RegValue{ entry.second.type, entry.second.data };
    }
    return values;
}

const std::vector<RegCall> &RegCalls()
{
    return regCalls;
}

int OpenKeyCount()
{
    return (int)openHandles.size();
}

HWND NewDialog(int templateId)
{
    dialogs.push_back(Dialog{ templateId, {}, false, 0 });
    return (HWND)(FirstDialogHandle + dialogs.size() - 1);
}

bool HasControlText(HWND dialog, int controlId)
{
    Dialog &found = NeedDialog(dialog);
    return found.texts.count(controlId) != 0;
}

std::string ControlText(HWND dialog, int controlId)
{
    Dialog &found = NeedDialog(dialog);
    auto text = found.texts.find(controlId);
    return text == found.texts.end() ? std::string() : text->second;
}

void SetControlText(HWND dialog, int controlId, const std::string &text)
{
    NeedDialog(dialog).texts[controlId] = text;
}

std::map<int, std::string> ControlTexts(HWND dialog)
{
    return NeedDialog(dialog).texts;
}

bool DialogEnded(HWND dialog, INT_PTR *result)
{
    Dialog &found = NeedDialog(dialog);
    if (found.ended && result)
        *result = found.result;
    return found.ended;
}

const std::vector<DialogRun> &DialogRuns()
{
    return dialogRuns;
}

void QueueCommand(WORD commandId)
{
    QueueMessage(WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

void QueueMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    actions.push_back(Action{ ACTION_MESSAGE, message, wParam, lParam, 0, std::string() });
}

void QueueTyping(int controlId, const std::string &text)
{
    actions.push_back(Action{ ACTION_TYPING, 0, 0, 0, controlId, text });
}

size_t PendingActions()
{
    return actions.size();
}

void QueueMessageBoxAnswer(int answer)
{
    messageBoxAnswers.push_back(answer);
}

const std::vector<MessageBoxCall> &MessageBoxCalls()
{
    return messageBoxCalls;
}

const std::vector<ProcAnswer> &ProcAnswers()
{
    return procAnswers;
}

} // namespace standin

using namespace standin;

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                               DLGPROC dialogProc, LPARAM initParam)
{
    int templateId = (int)(UINT_PTR)templateName;
    HWND dialog = NewDialog(templateId);
    size_t run = dialogRuns.size();
    dialogRuns.push_back(DialogRun{ instance, templateId, owner, dialogProc, initParam, dialog, 0, false, -1 });
    openDialogStack.push_back(dialog);

    dialogRuns[run].initResult = Deliver(dialogProc, dialog, WM_INITDIALOG, 0, initParam);
    while (!dialogs[(UINT_PTR)dialog - FirstDialogHandle].ended && !actions.empty())
    {
        Action action = actions.front();
        actions.pop_front();
        if (action.kind == ACTION_TYPING)
            SetControlText(dialog, action.controlId, action.text);
        else
            Deliver(dialogProc, dialog, action.message, action.wParam, action.lParam);
    }

    openDialogStack.pop_back();
    Dialog &ran = dialogs[(UINT_PTR)dialog - FirstDialogHandle];
    dialogRuns[run].ended = ran.ended;
    dialogRuns[run].result = ran.ended ? ran.result : -1;
    return dialogRuns[run].result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    Dialog *found = DialogOf(dialog);
    if (!found)
        return FALSE;
    found->ended = true;
    found->result = result;
    return TRUE;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int controlId, LPCSTR text)
{
    Dialog *found = DialogOf(dialog);
    if (!found)
        return FALSE;
    found->texts[controlId] = text ? text : "";
    return TRUE;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int controlId, LPSTR buffer, int bufferSize)
{
    Dialog *found = DialogOf(dialog);
    if (!found || bufferSize <= 0)
        return 0;
    const std::string &text = found->texts[controlId];
    /* Like the edit control: as much as fits before the zero, cut bytewise. */
    size_t copied = std::min(text.size(), (size_t)bufferSize - 1);
    memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
    return (UINT)copied;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    messageBoxCalls.push_back(MessageBoxCall{ owner, text ? text : "", caption ? caption : "", style });
    if (!messageBoxAnswers.empty())
    {
        int answer = messageBoxAnswers.front();
        messageBoxAnswers.pop_front();
        return answer;
    }
    return (style & 0xF) == MB_OK ? IDOK : IDYES;
}

BOOL WINAPI IsDBCSLeadByte(BYTE byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

LONG WINAPI RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    (void)options;
    std::string path = subKey ? subKey : "";
    LONG status;
    Key *key = FindKey(path);
    if (parent != HKEY_LOCAL_MACHINE || !result)
        status = ERROR_INVALID_HANDLE;
    else if (!key)
        status = ERROR_FILE_NOT_FOUND;
    else if (key->failOpen)
        status = ERROR_ACCESS_DENIED;
    else
    {
        UINT_PTR handle = nextKeyHandle++;
        openHandles[handle] = Fold(path);
        *result = (HKEY)handle;
        status = ERROR_SUCCESS;
    }
    regCalls.push_back(RegCall{ "open", path, access, 0, 0, status });
    return status;
}

LONG WINAPI RegQueryValueExA(HKEY handle, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                             LPBYTE data, LPDWORD dataSize)
{
    std::string name = valueName ? valueName : "";
    DWORD sizeIn = dataSize ? *dataSize : 0;
    LONG status;
    Key *key = KeyOfHandle(handle);
    auto found = key ? key->values.find(Fold(name)) : std::map<std::string, Value>::iterator();
    if (!key || reserved)
        status = ERROR_INVALID_HANDLE;
    else if (found == key->values.end() || found->second.type == REG_NONE)
        status = ERROR_FILE_NOT_FOUND;
    else
    {
        const Value &value = found->second;
        if (type)
            *type = value.type;
        if (data && value.data.size() > sizeIn)
            status = ERROR_MORE_DATA;
        else
        {
            if (data)
            {
                /* An empty vector's data() may be null, which memcpy must not get. */
                if (!value.data.empty())
                    memcpy(data, value.data.data(), value.data.size());
                /* Scribble past the data, so that code which relies on what
                   the buffer held before the call shows up in tests. */
                memset(data + value.data.size(), '#', sizeIn - value.data.size());
            }
            status = ERROR_SUCCESS;
        }
        if (dataSize)
            *dataSize = (DWORD)value.data.size();
    }
    regCalls.push_back(RegCall{ "query", name, 0, sizeIn, 0, status });
    return status;
}

LONG WINAPI RegSetValueExA(HKEY handle, LPCSTR valueName, DWORD reserved, DWORD type,
                           const BYTE *data, DWORD dataSize)
{
    std::string name = valueName ? valueName : "";
    LONG status;
    Key *key = KeyOfHandle(handle);
    if (!key || reserved)
        status = ERROR_INVALID_HANDLE;
    else
    {
        Value &value = key->values[Fold(name)];
        if (value.failSet)
            status = ERROR_ACCESS_DENIED;
        else
        {
            if (value.name.empty())
                value.name = name;
            value.type = type;
            value.data.assign(data, data + dataSize);
            status = ERROR_SUCCESS;
        }
        if (status != ERROR_SUCCESS && value.name.empty())
            key->values.erase(Fold(name));
    }
    regCalls.push_back(RegCall{ "set", name, 0, dataSize, type, status });
    return status;
}

LONG WINAPI RegCloseKey(HKEY handle)
{
    auto open = openHandles.find((UINT_PTR)handle);
    LONG status = ERROR_INVALID_HANDLE;
    std::string path;
    if (open != openHandles.end())
    {
        path = registry[open->second].path;
        openHandles.erase(open);
        status = ERROR_SUCCESS;
    }
    regCalls.push_back(RegCall{ "close", path, 0, 0, 0, status });
    return status;
}
