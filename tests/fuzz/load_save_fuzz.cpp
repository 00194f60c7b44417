/* libFuzzer target: builds a registry for the stand-in from the input bytes,
   runs the main dialog's load and then its OK (or Cancel) command, and aborts
   with a message naming the rule when what the program did breaks one.

   Input layout (make-corpus writes the same; missing bytes read as zero):
     byte  keys     2 bits per key, Windows version key first:
                    0 absent, 1 present, 2 present but unopenable, 3 present
     byte  flags    bit 0: writing "RegisteredOrganization" fails
                    bit 1: writing "RegisteredOwner" fails
                    bit 2: the user types into control 1002
                    bit 3: the user types into control 1003
                    bit 4: the user presses Cancel instead of OK
     11 x  value    in the order of the field indices 0 to 10:
                    byte kind % 6: 0 absent, 1 REG_SZ, 2 REG_EXPAND_SZ,
                    3 REG_MULTI_SZ, 4 REG_BINARY, 5 REG_DWORD; then a blob
                    of at most 300 bytes unless absent
     blob          the text typed into 1002, at most 1000 bytes, if typed
     blob          the text typed into 1003, likewise
   A blob: a header byte (bit 0: repeat a pattern, bit 1: make the last byte
   a zero), a 16-bit little-endian length taken modulo the maximum + 1, then
   either that many bytes (fewer if the input ends) or a pattern length byte
   (1 + n % 32) and the pattern, repeated to the length. */

#include "palvorine.h"
#include "resource.h"
#include "standin_control.h"

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <map>
#include <string>
#include <vector>

namespace
{

const char WindowsVersionKey[] = "Software\\Microsoft\\Windows\\Currentversion";
const char ControlKey[] = "System\\CurrentControlSet\\Control";
const char VnetsupKey[] = "System\\CurrentControlSet\\Services\\VxD\\VNETSUP";
const char *const KeyPaths[3] = { WindowsVersionKey, ControlKey, VnetsupKey };

/* The eleven values as the dialog knows them, written out here on their own
   so that a wrong entry in the program's table shows up. */
struct ValueSpec
{
    const char *name;
    int key;        /* index into KeyPaths */
    int controlId;  /* 0: appended to the version field */
};

const ValueSpec Values[11] = {
    { "ProductName", 0, 1000 },
    { "VersionNumber", 0, 1001 },
    { "RegisteredOrganization", 0, 1002 },
    { "RegisteredOwner", 0, 1003 },
    { "ProductId", 0, 1004 },
    { "ProductKey", 0, 1005 },
    { "Plus! VersionNumber", 0, 1006 },
    { "Current User", 1, 1007 },
    { "ComputerName", 2, 1008 },
    { "Workgroup", 2, 1009 },
    { "SubVersionNumber", 0, 0 },
};
const int VersionIndex = 1;
const int OrganizationIndex = 2;
const int OwnerIndex = 3;
const int SubVersionIndex = 10;

const size_t QueryBufferSize = 128;
const size_t MaxText = 127;
const size_t MaxValueData = 300;
const size_t MaxTyped = 1000;

const DWORD ValueTypes[6] = { REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY, REG_DWORD };

enum KeyState
{
    KEY_ABSENT,
    KEY_PRESENT,
    KEY_UNOPENABLE
};

struct Case
{
    KeyState keys[3];
    bool failSetOrganization;
    bool failSetOwner;
    bool typeOrganization;
    bool typeOwner;
    bool cancel;
    bool present[11];
    DWORD type[11];
    standin::Bytes data[11];
    std::string typedOrganization;
    std::string typedOwner;
};

struct Reader
{
    const uint8_t *at;
    size_t left;

    unsigned Byte()
    {
        if (left == 0)
            return 0;
        left--;
        return *at++;
    }

    std::string Blob(size_t max)
    {
        unsigned header = Byte();
        unsigned low = Byte();
        size_t length = (low | (Byte() << 8)) % (max + 1);
        std::string bytes;
        if (header & 1)
        {
            size_t patternLength = 1 + Byte() % 32;
            std::string pattern;
            while (pattern.size() < patternLength && left > 0)
                pattern.push_back((char)Byte());
            if (pattern.empty())
                pattern = "a";
            while (bytes.size() < length)
                bytes.push_back(pattern[bytes.size() % pattern.size()]);
        }
        else
        {
            while (bytes.size() < length && left > 0)
                bytes.push_back((char)Byte());
        }
        if ((header & 2) && !bytes.empty())
            bytes.back() = '\0';
        return bytes;
    }
};

Case Decode(const uint8_t *data, size_t size)
{
    Reader in = { data, size };
    Case c;
    unsigned keys = in.Byte();
    for (int k = 0; k < 3; k++)
    {
        unsigned state = (keys >> (2 * k)) & 3;
        c.keys[k] = state == 0 ? KEY_ABSENT : state == 2 ? KEY_UNOPENABLE : KEY_PRESENT;
    }
    unsigned flags = in.Byte();
    c.failSetOrganization = flags & 1;
    c.failSetOwner = flags & 2;
    c.typeOrganization = flags & 4;
    c.typeOwner = flags & 8;
    c.cancel = flags & 16;
    for (int v = 0; v < 11; v++)
    {
        unsigned kind = in.Byte() % 6;
        c.present[v] = kind != 0;
        c.type[v] = ValueTypes[kind];
        if (c.present[v])
        {
            std::string bytes = in.Blob(MaxValueData);
            c.data[v].assign(bytes.begin(), bytes.end());
        }
    }
    if (c.typeOrganization)
        c.typedOrganization = in.Blob(MaxTyped);
    if (c.typeOwner)
        c.typedOwner = in.Blob(MaxTyped);
    return c;
}

/* ---- reporting ---- */

std::string Quoted(const std::string &bytes)
{
    std::string out = "\"";
    char hex[8];
    for (unsigned char b : bytes)
    {
        if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\')
            out.push_back((char)b);
        else
        {
            snprintf(hex, sizeof(hex), "\\x%02X", b);
            out += hex;
        }
    }
    out += "\"";
    return out + " (" + std::to_string(bytes.size()) + " bytes)";
}

std::string Quoted(const standin::Bytes &bytes)
{
    return Quoted(std::string(bytes.begin(), bytes.end()));
}

const char *TypeName(DWORD type)
{
    switch (type)
    {
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_NONE: return "REG_NONE";
    }
    return "REG_?";
}

const Case *current;
HWND currentDialog;

void DumpCase()
{
    const Case &c = *current;
    static const char *const StateNames[] = { "absent", "present", "present, cannot be opened" };
    fprintf(stderr, "-- the case:\n");
    for (int k = 0; k < 3; k++)
        fprintf(stderr, "key %s: %s\n", KeyPaths[k], StateNames[c.keys[k]]);
    for (int v = 0; v < 11; v++)
    {
        if (!c.present[v] || c.keys[Values[v].key] == KEY_ABSENT)
            continue;
        fprintf(stderr, "  %s = %s %s\n", Values[v].name, TypeName(c.type[v]), Quoted(c.data[v]).c_str());
    }
    if (c.failSetOrganization)
        fprintf(stderr, "writing RegisteredOrganization fails\n");
    if (c.failSetOwner)
        fprintf(stderr, "writing RegisteredOwner fails\n");
    if (c.typeOrganization)
        fprintf(stderr, "typed into 1002: %s\n", Quoted(c.typedOrganization).c_str());
    if (c.typeOwner)
        fprintf(stderr, "typed into 1003: %s\n", Quoted(c.typedOwner).c_str());
    fprintf(stderr, "command: %s\n", c.cancel ? "Cancel" : "OK");
    if (currentDialog)
    {
        fprintf(stderr, "-- control texts now:\n");
        for (const auto &text : standin::ControlTexts(currentDialog))
            fprintf(stderr, "  %d: %s\n", text.first, Quoted(text.second).c_str());
    }
    fprintf(stderr, "-- registry calls:\n");
    for (const standin::RegCall &call : standin::RegCalls())
        fprintf(stderr, "  %s %s size %u type %u -> %d\n", call.op.c_str(), call.name.c_str(),
                (unsigned)call.sizeIn, (unsigned)call.type, (int)call.result);
}

__attribute__((format(printf, 1, 2), noreturn)) void Fail(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    fprintf(stderr, "\npalvorine fuzz: ");
    vfprintf(stderr, format, args);
    fprintf(stderr, "\n");
    va_end(args);
    DumpCase();
    abort();
}

/* ---- what the program should have done ---- */

bool IsLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

/* Code page 932 characters are one byte or a lead byte and any byte after
   it; only a scan from the start tells which byte begins a character. */
bool EndsInsideCharacter(const std::string &text)
{
    size_t at = 0;
    while (at < text.size())
        at += IsLeadByte((unsigned char)text[at]) ? 2 : 1;
    return at > text.size();
}

/* The longest prefix that a control may show: at most 127 bytes, ending
   between two characters. */
std::string Fit(const std::string &text)
{
    size_t end = 0;
    size_t limit = text.size() < MaxText ? text.size() : MaxText;
    while (end < limit)
    {
        size_t next = end + (IsLeadByte((unsigned char)text[end]) ? 2 : 1);
        if (next > limit)
            break;
        end = next;
    }
    return text.substr(0, end);
}

std::string UpToZero(const std::string &text)
{
    return text.substr(0, text.find('\0'));
}

bool IsPrefix(const std::string &prefix, const std::string &text)
{
    return prefix.size() <= text.size() && text.compare(0, prefix.size(), prefix) == 0;
}

/* Whether the loader gets a value at all: its key opens, it exists, and its
   data fits the 128-byte buffer (a larger value answers ERROR_MORE_DATA). */
bool IsRead(const Case &c, int v)
{
    return c.keys[Values[v].key] == KEY_PRESENT && c.present[v] && c.data[v].size() <= QueryBufferSize;
}

/* A value's text as the loader reads it: the data bytes up to the first
   zero byte, or all of the data when it holds no zero. The query reports
   how many bytes it returned, and nothing past them is the value's, so data
   without a terminator ends where the data ends; data of 128 bytes without
   a zero gives a 128-byte text, of which a control can show only a prefix.
   A value the loader does not get (missing, key not opened, data over 128
   bytes) has the empty text: "SubVersionNumber" then adds nothing. */
std::string ReadText(const Case &c, int v)
{
    if (!IsRead(c, v))
        return std::string();
    return UpToZero(std::string(c.data[v].begin(), c.data[v].end()));
}

/* ---- checks ---- */

void CheckControlText(int controlId, const std::string &text)
{
    if (text.size() > MaxText)
        Fail("control %d holds %zu bytes, more than 127: %s", controlId, text.size(), Quoted(text).c_str());
    if (text.find('\0') != std::string::npos)
        Fail("control %d holds a zero byte: %s", controlId, Quoted(text).c_str());
    if (EndsInsideCharacter(text))
        Fail("control %d ends in the first half of a double-byte character: %s", controlId,
             Quoted(text).c_str());
}

void CheckLoadedTexts(const Case &c, HWND dialog)
{
    std::map<int, std::string> texts = standin::ControlTexts(dialog);
    for (const auto &entry : texts)
    {
        if (entry.first < 1000 || entry.first > 1009)
            Fail("control %d was set; the loader sets only 1000 to 1009", entry.first);
        CheckControlText(entry.first, entry.second);
    }

    for (int v = 0; v < 10; v++)
    {
        int id = Values[v].controlId;
        bool set = texts.count(id) != 0;
        if (set != IsRead(c, v))
            Fail("control %d (%s) was %s, but the value %s", id, Values[v].name, set ? "set" : "not set",
                 IsRead(c, v) ? "was readable" : "could not be read");
        if (!set)
            continue;
        const std::string &shown = texts[id];

        if (v == VersionIndex && IsRead(c, SubVersionIndex))
        {
            /* The version text directly followed by the sub-version text,
               cut where the control's rule says. */
            std::string joined = ReadText(c, VersionIndex) + ReadText(c, SubVersionIndex);
            if (!IsPrefix(shown, joined))
                Fail("control 1001 shows %s, which is not a prefix of VersionNumber followed by "
                     "SubVersionNumber, %s",
                     Quoted(shown).c_str(), Quoted(joined).c_str());
            if (shown != Fit(joined))
                Fail("control 1001 shows %s; of VersionNumber followed by SubVersionNumber, %s, "
                     "it should show %s",
                     Quoted(shown).c_str(), Quoted(joined).c_str(), Quoted(Fit(joined)).c_str());
            continue;
        }

        std::string text = ReadText(c, v);
        if (!IsPrefix(shown, text))
            Fail("control %d shows %s, which is not a prefix of %s's text %s", id, Quoted(shown).c_str(),
                 Values[v].name, Quoted(text).c_str());
        if (shown != Fit(text))
            Fail("control %d shows %s; of %s's text %s it should show %s", id, Quoted(shown).c_str(),
                 Values[v].name, Quoted(text).c_str(), Quoted(Fit(text)).c_str());
    }
}

/* Every key opened is closed exactly once, within the same message, and the
   size word is 128 before every query. */
void CheckKeyHandles(size_t firstCall, const char *when)
{
    const std::vector<standin::RegCall> &calls = standin::RegCalls();
    std::map<std::string, int> open;
    for (size_t i = firstCall; i < calls.size(); i++)
    {
        const standin::RegCall &call = calls[i];
        if (call.op == "open")
        {
            if (call.access != KEY_ALL_ACCESS)
                Fail("%s: %s opened with access 0x%X, not KEY_ALL_ACCESS", when, call.name.c_str(),
                     (unsigned)call.access);
            if (call.result == ERROR_SUCCESS)
                open[call.name]++;
        }
        else if (call.op == "close")
        {
            if (call.result != ERROR_SUCCESS)
                Fail("%s: RegCloseKey on a handle that is not open (closed twice, or never opened)", when);
            if (--open[call.name] < 0)
                Fail("%s: %s closed more often than opened", when, call.name.c_str());
        }
        else if (call.op == "query")
        {
            if (call.sizeIn != QueryBufferSize)
                Fail("%s: %s queried with size %u, not 128", when, call.name.c_str(), (unsigned)call.sizeIn);
        }
    }
    for (const auto &entry : open)
    {
        if (entry.second != 0)
            Fail("%s: %s left open (%d handle(s))", when, entry.first.c_str(), entry.second);
    }
    if (standin::OpenKeyCount() != 0)
        Fail("%s: %d key handle(s) still open", when, standin::OpenKeyCount());
}

void CheckLoadCalls()
{
    const std::vector<standin::RegCall> &calls = standin::RegCalls();
    std::vector<std::string> opened;
    for (const standin::RegCall &call : calls)
    {
        if (call.op == "open")
            opened.push_back(call.name);
        else if (call.op == "set")
            Fail("loading wrote %s", call.name.c_str());
    }
    if (opened.size() != 3 || opened[0] != KeyPaths[0] || opened[1] != KeyPaths[1] || opened[2] != KeyPaths[2])
        Fail("loading opened %zu key(s); it should open the three keys once each, in order", opened.size());
    CheckKeyHandles(0, "loading");
    if (!standin::MessageBoxCalls().empty())
        Fail("loading showed a message box: %s", Quoted(standin::MessageBoxCalls()[0].text).c_str());
}

/* What OK should store for one control: its text up to a zero byte, cut
   to what a 128-byte buffer holds at a character boundary. */
std::string ExpectedSaved(HWND dialog, int controlId)
{
    return Fit(UpToZero(standin::ControlText(dialog, controlId)));
}

void CheckWrittenValue(const char *name, const standin::RegValue &value, const std::string &expected)
{
    if (value.type != REG_SZ)
        Fail("%s written as type %u, not REG_SZ", name, (unsigned)value.type);
    if (value.data.size() != 128)
        Fail("%s written with %zu bytes, not 128", name, value.data.size());
    size_t zero = 0;
    while (zero < value.data.size() && value.data[zero] != 0)
        zero++;
    if (zero > MaxText)
        Fail("%s written without a zero byte at or before byte 127: %s", name, Quoted(value.data).c_str());
    for (size_t i = zero; i < value.data.size(); i++)
    {
        if (value.data[i] != 0)
            Fail("%s written with byte 0x%02X at %zu, after the text's zero byte: %s", name, value.data[i], i,
                 Quoted(value.data).c_str());
    }
    std::string text(value.data.begin(), value.data.begin() + zero);
    if (text != expected)
        Fail("%s written as %s; from the control it should be %s", name, Quoted(text).c_str(),
             Quoted(expected).c_str());
}

void CheckRegistryAfter(const Case &c, const std::map<std::string, standin::RegValue> (&before)[3],
                        bool saved, const std::string &organization, const std::string &owner)
{
    for (int k = 0; k < 3; k++)
    {
        if (c.keys[k] == KEY_ABSENT)
            continue;
        std::map<std::string, standin::RegValue> after = standin::KeyValues(KeyPaths[k]);
        for (const auto &entry : after)
        {
            bool ownerValue = k == 0 && saved &&
                              ((entry.first == Values[OrganizationIndex].name && !c.failSetOrganization) ||
                               (entry.first == Values[OwnerIndex].name && !c.failSetOwner));
            if (ownerValue)
                continue;
            auto old = before[k].find(entry.first);
            if (old == before[k].end())
                Fail("value %s appeared under %s", entry.first.c_str(), KeyPaths[k]);
            if (old->second.type != entry.second.type || old->second.data != entry.second.data)
                Fail("value %s under %s changed from %s %s to %s %s", entry.first.c_str(), KeyPaths[k],
                     TypeName(old->second.type), Quoted(old->second.data).c_str(), TypeName(entry.second.type),
                     Quoted(entry.second.data).c_str());
        }
        for (const auto &entry : before[k])
        {
            if (!after.count(entry.first))
                Fail("value %s under %s disappeared", entry.first.c_str(), KeyPaths[k]);
        }
    }
    if (!saved)
        return;

    standin::RegValue value;
    if (!c.failSetOrganization)
    {
        if (!standin::GetValue(WindowsVersionKey, Values[OrganizationIndex].name, &value))
            Fail("OK did not store RegisteredOrganization");
        CheckWrittenValue(Values[OrganizationIndex].name, value, organization);
    }
    if (!c.failSetOwner)
    {
        if (!standin::GetValue(WindowsVersionKey, Values[OwnerIndex].name, &value))
            Fail("OK did not store RegisteredOwner");
        CheckWrittenValue(Values[OwnerIndex].name, value, owner);
    }
}

void CheckCommandCalls(const Case &c, size_t firstCall, bool saveKeyOpens)
{
    const std::vector<standin::RegCall> &calls = standin::RegCalls();
    std::vector<const standin::RegCall *> opens;
    std::vector<const standin::RegCall *> sets;
    for (size_t i = firstCall; i < calls.size(); i++)
    {
        if (calls[i].op == "open")
            opens.push_back(&calls[i]);
        else if (calls[i].op == "set")
            sets.push_back(&calls[i]);
        else if (calls[i].op == "query")
            Fail("the command queried %s", calls[i].name.c_str());
    }

    if (c.cancel)
    {
        if (!opens.empty() || !sets.empty())
            Fail("Cancel touched the registry (%zu open(s), %zu write(s))", opens.size(), sets.size());
        if (!standin::MessageBoxCalls().empty())
            Fail("Cancel showed a message box");
        return;
    }

    if (opens.size() != 1 || opens[0]->name != WindowsVersionKey)
        Fail("OK opened %zu key(s); it should open %s once", opens.size(), WindowsVersionKey);
    CheckKeyHandles(firstCall, "OK");

    if (saveKeyOpens)
    {
        if (sets.size() != 2 || sets[0]->name != Values[OrganizationIndex].name ||
            sets[1]->name != Values[OwnerIndex].name)
            Fail("OK made %zu write(s); it should write RegisteredOrganization, then RegisteredOwner",
                 sets.size());
        for (const standin::RegCall *set : sets)
        {
            if (set->type != REG_SZ || set->sizeIn != 128)
                Fail("OK wrote %s as type %u with %u bytes, not REG_SZ with 128", set->name.c_str(),
                     (unsigned)set->type, (unsigned)set->sizeIn);
        }
        /* A failed write must not pass for a save: it gets the same warning
           as a key that will not open, once. */
        bool writeFailed = false;
        for (const standin::RegCall *set : sets)
            writeFailed = writeFailed || set->result != ERROR_SUCCESS;
        size_t expectedBoxes = writeFailed ? 1 : 0;
        if (standin::MessageBoxCalls().size() != expectedBoxes)
            Fail("OK showed %zu message box(es) with %s; it should show %zu", standin::MessageBoxCalls().size(),
                 writeFailed ? "a failed write" : "both writes done", expectedBoxes);
    }
    else
    {
        if (!sets.empty())
            Fail("OK wrote %s although the key did not open", sets[0]->name.c_str());
        if (standin::MessageBoxCalls().size() != 1)
            Fail("OK showed %zu message box(es) when the key did not open; it should show one warning",
                 standin::MessageBoxCalls().size());
    }
    if (!standin::MessageBoxCalls().empty() && standin::MessageBoxCalls()[0].style != (MB_OK | MB_ICONWARNING))
        Fail("the save warning has style 0x%X, not MB_OK | MB_ICONWARNING", standin::MessageBoxCalls()[0].style);
}

void Run(const Case &c)
{
    standin::Reset();
    current = &c;
    currentDialog = NULL;

    for (int k = 0; k < 3; k++)
    {
        if (c.keys[k] == KEY_ABSENT)
            continue;
        standin::AddKey(KeyPaths[k]);
        for (int v = 0; v < 11; v++)
        {
            if (Values[v].key == k && c.present[v])
                standin::PutValue(KeyPaths[k], Values[v].name, c.type[v], c.data[v]);
        }
        if (c.keys[k] == KEY_UNOPENABLE)
            standin::FailOpen(KeyPaths[k]);
    }
    if (c.keys[0] != KEY_ABSENT)
    {
        if (c.failSetOrganization)
            standin::FailSet(WindowsVersionKey, Values[OrganizationIndex].name);
        if (c.failSetOwner)
            standin::FailSet(WindowsVersionKey, Values[OwnerIndex].name);
    }
    std::map<std::string, standin::RegValue> before[3];
    for (int k = 0; k < 3; k++)
        before[k] = standin::KeyValues(KeyPaths[k]);

    HWND dialog = standin::NewDialog(IDD_MAIN);
    currentDialog = dialog;
    MainDialogProc(dialog, WM_INITDIALOG, 0, 0);
    CheckLoadCalls();
    CheckLoadedTexts(c, dialog);

    if (c.typeOrganization)
        standin::SetControlText(dialog, 1002, c.typedOrganization);
    if (c.typeOwner)
        standin::SetControlText(dialog, 1003, c.typedOwner);
    std::string organization = ExpectedSaved(dialog, 1002);
    std::string owner = ExpectedSaved(dialog, 1003);

    size_t firstCall = standin::RegCalls().size();
    WORD command = c.cancel ? IDCANCEL : IDOK;
    MainDialogProc(dialog, WM_COMMAND, MAKEWPARAM(command, 0), 0);

    INT_PTR result = 0;
    if (!standin::DialogEnded(dialog, &result) || result != command)
        Fail("the dialog did not end with %d after the command", command);
    bool saveKeyOpens = c.keys[0] == KEY_PRESENT;
    CheckCommandCalls(c, firstCall, saveKeyOpens);
    CheckRegistryAfter(c, before, !c.cancel && saveKeyOpens, organization, owner);
    current = NULL;
    currentDialog = NULL;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Case c = Decode(data, size);
    Run(c);
    return 0;
}
