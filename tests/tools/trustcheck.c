/*
 * trustcheck FILE...: the Authenticode verdict of WinVerifyTrust on each file, asked
 * the way the bootstrapper asks it for a downloaded installer (generic verify v2, no
 * UI, no revocation check, a file, verify then close the state). Prints
 * "<file>\t0x<result as 8 hex digits>" per file; exits 0 (2 on usage).
 */
#include <windows.h>
#include <softpub.h>
#include <wintrust.h>
#include <stdio.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: trustcheck FILE...\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        WINTRUST_FILE_INFO file = {0};
        file.cbStruct = sizeof file;
        file.pcwszFilePath = argv[i];
        WINTRUST_DATA data = {0};
        data.cbStruct = sizeof data;
        data.dwUIChoice = WTD_UI_NONE;
        data.fdwRevocationChecks = WTD_REVOKE_NONE;
        data.dwUnionChoice = WTD_CHOICE_FILE;
        data.pFile = &file;
        data.dwStateAction = WTD_STATEACTION_VERIFY;
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        LONG result = WinVerifyTrust(NULL, &action, &data);
        data.dwStateAction = WTD_STATEACTION_CLOSE;
        WinVerifyTrust(NULL, &action, &data);
        printf("%ls\t0x%08lx\n", argv[i], (unsigned long)result);
    }
    return 0;
}
