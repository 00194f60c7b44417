/* The registry values the main dialog shows, and their loading and saving. */
#ifndef PALVORINE_FIELDS_H
#define PALVORINE_FIELDS_H

#include "platform.h"

/* Every text between the registry and a control: 127 bytes and a zero. */
#define FIELD_TEXT_SIZE 128
#define VALUE_NAME_SIZE 32

enum
{
    FIELD_PRODUCT_NAME,
    FIELD_VERSION,
    FIELD_ORGANIZATION,
    FIELD_OWNER,
    FIELD_PRODUCT_ID,
    FIELD_PRODUCT_KEY,
    FIELD_PLUS_VERSION,
    FIELD_CURRENT_USER,
    FIELD_COMPUTER_NAME,
    FIELD_WORKGROUP,
    FIELD_SUB_VERSION,
    FIELD_COUNT
};

/* Keys under HKEY_LOCAL_MACHINE */
extern const char REGPATH_WINDOWS_VERSION[];
extern const char REGPATH_CONTROL[];
extern const char REGPATH_VNETSUP[];

typedef struct
{
    char valueName[VALUE_NAME_SIZE];
    const char *keyPath;
    int controlId;              /* 0: shown inside another field */
    BOOL saved;                 /* editable by the user and written back on OK */
} FIELD_ENTRY;

extern const FIELD_ENTRY FieldTable[FIELD_COUNT];

void LoadFields(HWND dialog);
void SaveOwnerFields(HWND dialog);

#endif
