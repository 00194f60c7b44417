/* Start-up timer, run under wine64.

   start_launcher pairs [--pairs N] [--warmup N] [--control] PROGRAM.exe BARE.exe
     Starts each program, polls every millisecond for its visible main dialog,
     and takes the time from just before CreateProcess to the first poll that
     sees it ready. Then it closes the dialog with IDCANCEL and waits for the
     process to end. PROGRAM counts as ready when its "Palvorine" window is
     visible and control 1000 holds text (the fields are loaded); BARE as soon
     as its window is visible and control 1000 answers. Pairs alternate which program goes first.
     With --control every round also starts BARE a second time, as a control
     pair under the same conditions (BARE against itself), and the three
     starts rotate through the three places. Prints a line per pair, and a
     summary line:
       pair I PROGRAM_MS BARE_MS RATIO
       control I BARE_AGAIN_MS BARE_MS RATIO
       summary pairs=N program_median_ms=.. bare_median_ms=.. ratio_median=..
               ratio_min=.. ratio_max=.. ratio_q1=.. ratio_q3=..
               difference_median_ms=.. program_fastest_ms=.. bare_fastest_ms=..
               [control_ratio_median=.. control_ratio_min=.. control_ratio_max=..]

   start_launcher load-cost [--calls N]
     Times LoadFields in this process on a hidden main dialog made from the
     same template, against the prefix's registry: what loading the fields
     adds to a start, without the noise of starting processes. Prints
       load-cost calls=N median_us=.. min_us=.. registry_median_us=..
                 registry_min_us=.. filled=yes|no
     where the registry figures time LoadFields without a dialog.

   start_launcher first-paint filled|empty
     In this fresh process, creates the main dialog from the template, loads
     the fields (or leaves them empty), shows it and paints it with all its
     controls. Prints
       first-paint fields=filled|empty create_us=.. cold_registry_us=.. load_us=..
                   show_us=.. paint_us=..
     where cold_registry_us is a first LoadFields without a dialog (the
     registry alone, cold) and load_us the LoadFields that follows it. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fields.h"
#include "resource.h"

#define MAX_SAMPLES 1000
#define CAPTION "Palvorine"

static LARGE_INTEGER g_frequency;

typedef struct
{
    DWORD processId;
    BOOL needFields;
    HWND found;
} SEARCH;

/* Reading control 1000 takes a message that the program's thread answers
   only once it is back in its message loop; both programs are asked, so
   that this wait weighs the same on each. */
static BOOL WindowReady(HWND window, BOOL needFields)
{
    char caption[64];
    if (!IsWindowVisible(window))
        return FALSE;
    if (GetWindowTextA(window, caption, sizeof(caption)) <= 0 || strcmp(caption, CAPTION) != 0)
        return FALSE;
    HWND field = GetDlgItem(window, IDC_PRODUCT_NAME);
    DWORD_PTR length = 0;
    if (field == NULL)
        return FALSE;
    if (!SendMessageTimeoutA(field, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &length))
        return FALSE;
    return !needFields || length > 0;
}

static BOOL CALLBACK FindReadyWindow(HWND window, LPARAM lParam)
{
    SEARCH *search = (SEARCH *)lParam;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !WindowReady(window, search->needFields))
        return TRUE;
    search->found = window;
    return FALSE;
}

static double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    return (double)(to.QuadPart - from.QuadPart) * 1000.0 / (double)g_frequency.QuadPart;
}

/* One start of `path`: the milliseconds until ready, or a negative value
   after printing what went wrong. */
static double TimeStart(const char *path, BOOL needFields)
{
    char commandLine[MAX_PATH + 3];
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    LARGE_INTEGER started, ready;
    SEARCH search;
    double elapsed = -1.0;

    snprintf(commandLine, sizeof(commandLine), "\"%s\"", path);
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);

    QueryPerformanceCounter(&started);
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
    {
        fprintf(stderr, "start_launcher: cannot start %s (error %lu)\n", path, GetLastError());
        return -1.0;
    }

    memset(&search, 0, sizeof(search));
    search.processId = process.dwProcessId;
    search.needFields = needFields;
    for (;;)
    {
        EnumWindows(FindReadyWindow, (LPARAM)&search);
        if (search.found != NULL)
        {
            QueryPerformanceCounter(&ready);
            elapsed = Milliseconds(started, ready);
            break;
        }
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
        {
            fprintf(stderr, "start_launcher: %s ended before its dialog was ready%s\n", path,
                    needFields ? " (is the registry seeded?)" : "");
            break;
        }
        QueryPerformanceCounter(&ready);
        if (Milliseconds(started, ready) > 30000.0)
        {
            fprintf(stderr, "start_launcher: %s showed no ready dialog within 30 s%s\n", path,
                    needFields ? " (is control 1000 filled?)" : "");
            break;
        }
        Sleep(1);
    }

    if (search.found != NULL)
        PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
    {
        fprintf(stderr, "start_launcher: %s did not end after IDCANCEL\n", path);
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
        elapsed = -1.0;
    }
    else
    {
        DWORD exitCode = 1;
        GetExitCodeProcess(process.hProcess, &exitCode);
        if (exitCode != 0 && elapsed >= 0.0)
        {
            fprintf(stderr, "start_launcher: %s exited with code %lu\n", path, exitCode);
            elapsed = -1.0;
        }
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    /* Lets the server finish with the old process before the next start. */
    Sleep(50);
    return elapsed;
}

static int CompareDoubles(const void *a, const void *b)
{
    double x = *(const double *)a, y = *(const double *)b;
    return (x > y) - (x < y);
}

/* The p-quantile of values[0..count), interpolating between neighbours. */
static double Quantile(const double *values, int count, double p)
{
    static double sorted[MAX_SAMPLES];
    memcpy(sorted, values, count * sizeof(double));
    qsort(sorted, count, sizeof(double), CompareDoubles);
    double at = p * (count - 1);
    int below = (int)at;
    if (below >= count - 1)
        return sorted[count - 1];
    return sorted[below] + (at - below) * (sorted[below + 1] - sorted[below]);
}

static double Median(const double *values, int count)
{
    return Quantile(values, count, 0.5);
}

static INT_PTR CALLBACK HiddenDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

static double Fastest(const double *values, int count)
{
    double low = values[0];
    for (int i = 1; i < count; i++)
        low = values[i] < low ? values[i] : low;
    return low;
}

static int LoadCost(int calls)
{
    static double times[MAX_SAMPLES], registryTimes[MAX_SAMPLES];
    HWND dialog = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_MAIN), NULL,
                                     HiddenDialogProc, 0);
    if (dialog == NULL)
    {
        fprintf(stderr, "start_launcher: cannot create the main dialog (error %lu)\n", GetLastError());
        return 1;
    }
    for (int i = 0; i < calls; i++)
    {
        LARGE_INTEGER before, after;
        /* Empty fields, as a fresh dialog has them. */
        for (int id = IDC_PRODUCT_NAME; id <= IDC_WORKGROUP; id++)
            SetDlgItemTextA(dialog, id, "");
        QueryPerformanceCounter(&before);
        LoadFields(dialog);
        QueryPerformanceCounter(&after);
        times[i] = Milliseconds(before, after) * 1000.0;

        /* Without a dialog every SetDlgItemTextA fails at once: what is
           left is the registry's share. */
        QueryPerformanceCounter(&before);
        LoadFields(NULL);
        QueryPerformanceCounter(&after);
        registryTimes[i] = Milliseconds(before, after) * 1000.0;
    }
    char text[FIELD_TEXT_SIZE];
    BOOL filled = GetDlgItemTextA(dialog, IDC_PRODUCT_NAME, text, sizeof(text)) > 0;
    DestroyWindow(dialog);

    printf("load-cost calls=%d median_us=%.1f min_us=%.1f registry_median_us=%.1f registry_min_us=%.1f "
           "filled=%s\n",
           calls, Median(times, calls), Fastest(times, calls), Median(registryTimes, calls),
           Fastest(registryTimes, calls), filled ? "yes" : "no");
    return filled ? 0 : 1;
}

/* One cold start of the dialog inside this fresh process: create it from
   the template, fill it (or not), show it, and paint it with all its
   controls, timing each step. Run once per process, filled and empty
   alternately, it tells what filled fields cost the first paint. */
static int FirstPaint(BOOL fill)
{
    LARGE_INTEGER t0, t1, t2, t3, t4;
    QueryPerformanceCounter(&t0);
    HWND dialog = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_MAIN), NULL,
                                     HiddenDialogProc, 0);
    if (dialog == NULL)
    {
        fprintf(stderr, "start_launcher: cannot create the main dialog (error %lu)\n", GetLastError());
        return 1;
    }
    QueryPerformanceCounter(&t1);
    double registryUs = 0.0;
    if (fill)
    {
        /* The registry's cold share: without a dialog every SetDlgItemTextA
           fails at once. The second call then sees a warm registry. */
        LoadFields(NULL);
        QueryPerformanceCounter(&t2);
        registryUs = Milliseconds(t1, t2) * 1000.0;
        t1 = t2;
        LoadFields(dialog);
    }
    QueryPerformanceCounter(&t2);
    ShowWindow(dialog, SW_SHOW);
    QueryPerformanceCounter(&t3);
    RedrawWindow(dialog, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    QueryPerformanceCounter(&t4);
    DestroyWindow(dialog);
    printf("first-paint fields=%s create_us=%.1f cold_registry_us=%.1f load_us=%.1f show_us=%.1f "
           "paint_us=%.1f\n",
           fill ? "filled" : "empty", Milliseconds(t0, t1) * 1000.0 - registryUs, registryUs,
           Milliseconds(t1, t2) * 1000.0, Milliseconds(t2, t3) * 1000.0, Milliseconds(t3, t4) * 1000.0);
    return 0;
}

static int Usage(void)
{
    fprintf(stderr, "usage: start_launcher pairs [--pairs 1..%d] [--warmup N] [--control] PROGRAM.exe BARE.exe\n"
                    "       start_launcher load-cost [--calls 1..%d]\n"
                    "       start_launcher first-paint filled|empty\n",
            MAX_SAMPLES, MAX_SAMPLES);
    return 2;
}

typedef struct
{
    double low, high, median, lowerQuartile, upperQuartile;
} SPREAD;

static SPREAD Spread(const double *values, int count)
{
    SPREAD spread = { values[0], values[0], Median(values, count), Quantile(values, count, 0.25),
                      Quantile(values, count, 0.75) };
    for (int i = 1; i < count; i++)
    {
        if (values[i] < spread.low)
            spread.low = values[i];
        if (values[i] > spread.high)
            spread.high = values[i];
    }
    return spread;
}

int main(int argc, char **argv)
{
    static double programTimes[MAX_SAMPLES], bareTimes[MAX_SAMPLES], ratios[MAX_SAMPLES], differences[MAX_SAMPLES];
    static double controlRatios[MAX_SAMPLES];
    int pairs = 10, warmup = 1, calls = 200;
    BOOL control = FALSE;
    int arg = 2;

    QueryPerformanceFrequency(&g_frequency);
    if (argc < 2)
        return Usage();
    BOOL timePairs = strcmp(argv[1], "pairs") == 0;
    if (strcmp(argv[1], "first-paint") == 0 && argc == 3)
    {
        if (strcmp(argv[2], "filled") != 0 && strcmp(argv[2], "empty") != 0)
            return Usage();
        return FirstPaint(strcmp(argv[2], "filled") == 0);
    }
    if (!timePairs && strcmp(argv[1], "load-cost") != 0)
        return Usage();

    while (arg < argc && strncmp(argv[arg], "--", 2) == 0)
    {
        if (strcmp(argv[arg], "--control") == 0)
        {
            control = TRUE;
            arg++;
            continue;
        }
        if (arg + 1 >= argc)
            return Usage();
        if (strcmp(argv[arg], "--pairs") == 0)
            pairs = atoi(argv[arg + 1]);
        else if (strcmp(argv[arg], "--warmup") == 0)
            warmup = atoi(argv[arg + 1]);
        else if (strcmp(argv[arg], "--calls") == 0)
            calls = atoi(argv[arg + 1]);
        else
            return Usage();
        arg += 2;
    }
    if (!timePairs)
        return arg == argc && calls >= 1 && calls <= MAX_SAMPLES ? LoadCost(calls) : Usage();
    if (argc - arg != 2 || pairs < 1 || pairs > MAX_SAMPLES || warmup < 0)
        return Usage();
    const char *program = argv[arg], *bare = argv[arg + 1];

    for (int i = -warmup; i < pairs; i++)
    {
        /* 0: PROGRAM, 1: BARE, 2: BARE again (the control). The order
           rotates, so that no start always comes first or after the same one. */
        double times[3] = { 0.0, 0.0, 0.0 };
        int starts = control ? 3 : 2;
        int round = i + warmup;
        for (int place = 0; place < starts; place++)
        {
            int which = control ? (round + place) % 3 : (round + place) % 2;
            times[which] = TimeStart(which == 0 ? program : bare, which == 0);
            if (times[which] < 0.0)
                return 1;
        }
        if (i < 0)
        {
            printf("warmup %.3f %.3f\n", times[0], times[1]);
            continue;
        }
        programTimes[i] = times[0];
        bareTimes[i] = times[1];
        ratios[i] = times[0] / times[1];
        differences[i] = times[0] - times[1];
        printf("pair %d %.3f %.3f %.4f\n", i + 1, times[0], times[1], ratios[i]);
        if (control)
        {
            controlRatios[i] = times[2] / times[1];
            printf("control %d %.3f %.3f %.4f\n", i + 1, times[2], times[1], controlRatios[i]);
        }
        fflush(stdout);
    }

    SPREAD ratio = Spread(ratios, pairs);
    printf("summary pairs=%d program_median_ms=%.3f bare_median_ms=%.3f ratio_median=%.4f "
           "ratio_min=%.4f ratio_max=%.4f ratio_q1=%.4f ratio_q3=%.4f difference_median_ms=%.3f "
           "program_fastest_ms=%.3f bare_fastest_ms=%.3f",
           pairs, Median(programTimes, pairs), Median(bareTimes, pairs), ratio.median, ratio.low, ratio.high,
           ratio.lowerQuartile, ratio.upperQuartile, Median(differences, pairs), Fastest(programTimes, pairs),
           Fastest(bareTimes, pairs));
    if (control)
    {
        SPREAD controlRatio = Spread(controlRatios, pairs);
        printf(" control_ratio_median=%.4f control_ratio_min=%.4f control_ratio_max=%.4f", controlRatio.median,
               controlRatio.low, controlRatio.high);
    }
    printf("\n");
    return 0;
}
