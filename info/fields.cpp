#include "fields.h"
#include "resource.h"

#include <string.h>

const char REGPATH_WINDOWS_VERSION[] = "Software\\Microsoft\\Windows\\Currentversion";
const char REGPATH_CONTROL[] = "System\\CurrentControlSet\\Control";
const char REGPATH_VNETSUP[] = "System\\CurrentControlSet\\Services\\VxD\\VNETSUP";

const FIELD_ENTRY FieldTable[FIELD_COUNT] = {
    { "ProductName",            REGPATH_WINDOWS_VERSION, IDC_PRODUCT_NAME,  FALSE },
    { "VersionNumber",          REGPATH_WINDOWS_VERSION, IDC_VERSION,       FALSE },
    { "RegisteredOrganization", REGPATH_WINDOWS_VERSION, IDC_ORGANIZATION,  TRUE  },
    { "RegisteredOwner",        REGPATH_WINDOWS_VERSION, IDC_OWNER,         TRUE  },
    { "ProductId",              REGPATH_WINDOWS_VERSION, IDC_PRODUCT_ID,    FALSE },
    { "ProductKey",             REGPATH_WINDOWS_VERSION, IDC_PRODUCT_KEY,   FALSE },
    { "Plus! VersionNumber",    REGPATH_WINDOWS_VERSION, IDC_PLUS_VERSION,  FALSE },
    { "Current User",           REGPATH_CONTROL,         IDC_CURRENT_USER,  FALSE },
    { "ComputerName",           REGPATH_VNETSUP,         IDC_COMPUTER_NAME, FALSE },
    { "Workgroup",              REGPATH_VNETSUP,         IDC_WORKGROUP,     FALSE },
    { "SubVersionNumber",       REGPATH_WINDOWS_VERSION, 0,                 FALSE },
};

static const char *const KeyPaths[] = {
    REGPATH_WINDOWS_VERSION,
    REGPATH_CONTROL,
    REGPATH_VNETSUP,
};

static const char SaveFailedText[] = "エラーが発生しました\n強制終了します";
static const char SaveFailedCaption[] = "エラー";

/* The longest prefix of text[0..length) that ends between two characters.
   Trail bytes share values with lead bytes, so only a scan from the start
   knows where the characters begin. */
static DWORD WholeCharacters(const char *text, DWORD length)
{
    DWORD end = 0;
    while (end < length)
    {
        DWORD next = end + (IsDBCSLeadByte((BYTE)text[end]) ? 2 : 1);
        if (next > length)
            break;
        end = next;
    }
    return end;
}

/* Turns the first `size` bytes of a 128-byte buffer into a zero-terminated
   text: it ends at the first zero byte, holds at most 127 bytes, never ends
   in half a character, and is followed by zeros to the end of the buffer.
   Registry data need not carry its own zero byte. */
static void SettleFieldText(char *text, DWORD size)
{
    DWORD length = 0;
    if (size > FIELD_TEXT_SIZE - 1)
        size = FIELD_TEXT_SIZE - 1;
    while (length < size && text[length] != '\0')
        length++;
    length = WholeCharacters(text, length);
    memset(text + length, 0, FIELD_TEXT_SIZE - length);
}

/* Reads a value into its 128-byte buffer as stored. *length gets the bytes
   before the first zero byte, or all that the query returned. */
static BOOL QueryFieldText(HKEY key, int field, char *text, DWORD *length)
{
    DWORD type;
    DWORD size = FIELD_TEXT_SIZE;
    if (RegQueryValueExA(key, FieldTable[field].valueName, NULL, &type, (LPBYTE)text, &size)
        != ERROR_SUCCESS)
        return FALSE;
    if (size > FIELD_TEXT_SIZE)
        size = FIELD_TEXT_SIZE;
    DWORD count = 0;
    while (count < size && text[count] != '\0')
        count++;
    *length = count;
    return TRUE;
}

/* "VersionNumber" directly followed by "SubVersionNumber", both as stored,
   then cut like any field. A lead byte that ends the version pairs with the
   sub-version's first byte, as it would in one string. */
static void JoinVersionText(char *joined, const char *version, DWORD versionLength,
                            const char *subVersion, DWORD subLength)
{
    if (versionLength > FIELD_TEXT_SIZE - 1)
        versionLength = FIELD_TEXT_SIZE - 1;
    if (subLength > FIELD_TEXT_SIZE - 1 - versionLength)
        subLength = FIELD_TEXT_SIZE - 1 - versionLength;
    memcpy(joined, version, versionLength);
    memcpy(joined + versionLength, subVersion, subLength);
    SettleFieldText(joined, versionLength + subLength);
}

void LoadFields(HWND dialog)
{
    char texts[FIELD_COUNT][FIELD_TEXT_SIZE];
    char joinedVersion[FIELD_TEXT_SIZE];

    for (int k = 0; k < (int)(sizeof(KeyPaths) / sizeof(KeyPaths[0])); k++)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPaths[k], 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            continue;

        BOOL haveSubVersion = FALSE;
        DWORD subVersionLength = 0;
        if (FieldTable[FIELD_SUB_VERSION].keyPath == KeyPaths[k])
            haveSubVersion = QueryFieldText(key, FIELD_SUB_VERSION, texts[FIELD_SUB_VERSION], &subVersionLength);

        for (int field = 0; field < FIELD_SUB_VERSION; field++)
        {
            DWORD length;
            if (FieldTable[field].keyPath != KeyPaths[k])
                continue;
            if (!QueryFieldText(key, field, texts[field], &length))
                continue;
            if (field == FIELD_VERSION && haveSubVersion)
            {
                JoinVersionText(joinedVersion, texts[field], length, texts[FIELD_SUB_VERSION], subVersionLength);
                SetDlgItemTextA(dialog, FieldTable[field].controlId, joinedVersion);
            }
            else
            {
                SettleFieldText(texts[field], length);
                SetDlgItemTextA(dialog, FieldTable[field].controlId, texts[field]);
            }
        }
        RegCloseKey(key);
    }
}

/* Writes the control's text as 128 bytes: the text, its zero byte, zeros. */
static BOOL SaveFieldText(HKEY key, HWND dialog, int field)
{
    char text[FIELD_TEXT_SIZE];
    memset(text, 0, sizeof(text));
    GetDlgItemTextA(dialog, FieldTable[field].controlId, text, FIELD_TEXT_SIZE);
    SettleFieldText(text, FIELD_TEXT_SIZE);
    return RegSetValueExA(key, FieldTable[field].valueName, 0, REG_SZ, (const BYTE *)text,
                          FIELD_TEXT_SIZE) == ERROR_SUCCESS;
}

void SaveOwnerFields(HWND dialog)
{
    HKEY key;
    BOOL saved = FALSE;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, REGPATH_WINDOWS_VERSION, 0, KEY_ALL_ACCESS, &key)
        == ERROR_SUCCESS)
    {
        /* Organisation, then owner; a failed write does not stop the next one. */
        saved = TRUE;
        for (int field = 0; field < FIELD_COUNT; field++)
        {
            if (FieldTable[field].saved && !SaveFieldText(key, dialog, field))
                saved = FALSE;
        }
        RegCloseKey(key);
    }
    if (!saved)
        MessageBoxA(dialog, SaveFailedText, SaveFailedCaption, MB_OK | MB_ICONWARNING);
}
