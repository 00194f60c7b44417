/* Registry calls made while loading and while saving, as the host stand-in
   logs them, on a registry that holds all eleven values and on one that holds
   none of the three keys. */
#include "palvorine.h"
#include "fields.h"
#include "resource.h"
#include "standin_control.h"

#include <stdio.h>
#include <string>

struct TALLY
{
    int opens, queries, sets, closes;
};

static TALLY TallySince(size_t first)
{
    TALLY tally = { 0, 0, 0, 0 };
    const std::vector<standin::RegCall> &calls = standin::RegCalls();
    for (size_t i = first; i < calls.size(); i++)
    {
        const std::string &op = calls[i].op;
        if (op == "open")
            tally.opens++;
        else if (op == "query")
            tally.queries++;
        else if (op == "set")
            tally.sets++;
        else if (op == "close")
            tally.closes++;
        else
            fprintf(stderr, "reg_calls: unknown registry call \"%s\"\n", op.c_str());
    }
    return tally;
}

static bool Measure(const char *registry)
{
    HWND dialog = standin::NewDialog(IDD_MAIN);

    size_t first = standin::RegCalls().size();
    LoadFields(dialog);
    TALLY load = TallySince(first);
    int openAfterLoad = standin::OpenKeyCount();

    first = standin::RegCalls().size();
    SaveOwnerFields(dialog);
    TALLY save = TallySince(first);
    int openAfterSave = standin::OpenKeyCount();

    printf("%s load opens=%d queries=%d sets=%d closes=%d\n", registry, load.opens, load.queries,
           load.sets, load.closes);
    printf("%s save opens=%d queries=%d sets=%d closes=%d\n", registry, save.opens, save.queries,
           save.sets, save.closes);
    if (openAfterLoad != 0 || openAfterSave != 0)
    {
        fprintf(stderr, "reg_calls: %s registry: %d keys open after loading, %d after saving\n", registry,
                openAfterLoad, openAfterSave);
        return false;
    }
    return true;
}

int main()
{
    standin::Reset();
    standin::PutString(REGPATH_WINDOWS_VERSION, "ProductName", "Microsoft Windows 98");
    standin::PutString(REGPATH_WINDOWS_VERSION, "VersionNumber", "4.10.2222");
    standin::PutString(REGPATH_WINDOWS_VERSION, "SubVersionNumber", " A ");
    standin::PutString(REGPATH_WINDOWS_VERSION, "RegisteredOrganization", "\x8a\x94\x8e\xae\x89\xef\x8e\xd0");
    standin::PutString(REGPATH_WINDOWS_VERSION, "RegisteredOwner", "\x8e\x52\x93\x63 \x91\xbe\x98\x59");
    standin::PutString(REGPATH_WINDOWS_VERSION, "ProductId", "12345-OEM-0067890-12345");
    standin::PutString(REGPATH_WINDOWS_VERSION, "ProductKey", "ABCDE-FGHJK-MNPQR-STVWX-YZ234");
    standin::PutString(REGPATH_WINDOWS_VERSION, "Plus! VersionNumber", "IE 5 5.00.2614.3500");
    standin::PutString(REGPATH_CONTROL, "Current User", "yamada");
    standin::PutString(REGPATH_VNETSUP, "ComputerName", "SAMPLE-PC");
    standin::PutString(REGPATH_VNETSUP, "Workgroup", "WORKGROUP");
    bool ok = Measure("full");

    standin::Reset();
    ok = Measure("empty") && ok;
    return ok ? 0 : 1;
}
