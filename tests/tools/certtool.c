/*
 * certtool: puts a certificate into a system certificate store of the machine it runs
 * on, or lists a store. The end-to-end suite uses it to make a throwaway Wine prefix
 * trust the test root CA, so that the download's TLS check runs for real.
 *
 * Usage:
 *   certtool [-user] [-store NAME] add FILE.der...   add (replacing an equal one)
 *   certtool [-user] [-store NAME] list              one line per certificate
 *
 *   -user        the current user's store (default: the local machine's)
 *   -store NAME  the store's name (default: Root)
 *
 * Output: "cert\t<SHA-1 hex>\t<subject>" for each certificate added or listed.
 * Exit codes: 0 done, 1 the store did not open, 2 usage, 3 a file was not read or not
 * a DER certificate, 4 the store refused it. Errors go to stderr with the Win32 code.
 */
#include <windows.h>
#include <wincrypt.h>
#include <stdio.h>

#include "utf8_output.h"

static void PrintCertificate(PCCERT_CONTEXT cert)
{
    BYTE hash[20];
    DWORD hashSize = sizeof hash;
    wchar_t line[600];
    wchar_t subject[512] = L"";
    int n = 0;
    if (!CertGetCertificateContextProperty(cert, CERT_SHA1_HASH_PROP_ID, hash, &hashSize))
        hashSize = 0;
    CertNameToStrW(X509_ASN_ENCODING, &cert->pCertInfo->Subject, CERT_X500_NAME_STR, subject,
                   sizeof subject / sizeof subject[0]);
    n = swprintf(line, 600, L"cert\t");
    for (DWORD i = 0; i < hashSize; ++i) n += swprintf(line + n, 600 - n, L"%02x", hash[i]);
    line[n++] = L'\t';
    line[n] = 0;
    WriteUtf8Escaped(line, n, 0);
    WriteUtf8Escaped(subject, wcslen(subject), 1);
    WriteUtf8Escaped(L"\n", 1, 0);
}

static int AddFile(HCERTSTORE store, const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "certtool: cannot open %ls: %lu\n", path, GetLastError());
        return 3;
    }
    BYTE data[16384];
    DWORD size = 0;
    BOOL read = ReadFile(file, data, sizeof data, &size, NULL);
    CloseHandle(file);
    if (!read || size == 0 || size == sizeof data) {
        fprintf(stderr, "certtool: cannot read %ls\n", path);
        return 3;
    }
    PCCERT_CONTEXT added = NULL;
    if (!CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, data, size,
                                          CERT_STORE_ADD_REPLACE_EXISTING, &added)) {
        DWORD error = GetLastError();
        fprintf(stderr, "certtool: %ls not added: 0x%08lx\n", path, error);
        return error == (DWORD)CRYPT_E_ASN1_BADTAG || error == (DWORD)CRYPT_E_ASN1_EOD ? 3 : 4;
    }
    PrintCertificate(added);
    CertFreeCertificateContext(added);
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD location = CERT_SYSTEM_STORE_LOCAL_MACHINE;
    const wchar_t* name = L"Root";
    int i = 1;
    for (; i < argc && argv[i][0] == L'-'; ++i) {
        if (wcscmp(argv[i], L"-user") == 0) location = CERT_SYSTEM_STORE_CURRENT_USER;
        else if (wcscmp(argv[i], L"-store") == 0 && i + 1 < argc) name = argv[++i];
        else break;
    }
    if (i >= argc || (wcscmp(argv[i], L"add") != 0 && wcscmp(argv[i], L"list") != 0) ||
        (wcscmp(argv[i], L"add") == 0 && i + 1 >= argc)) {
        fprintf(stderr, "usage: certtool [-user] [-store NAME] add FILE.der... | list\n");
        return 2;
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, name);
    if (store == NULL) {
        fprintf(stderr, "certtool: store %ls not opened: 0x%08lx\n", name, GetLastError());
        return 1;
    }
    int status = 0;
    if (wcscmp(argv[i], L"list") == 0) {
        PCCERT_CONTEXT cert = NULL;
        while ((cert = CertEnumCertificatesInStore(store, cert)) != NULL) PrintCertificate(cert);
    } else {
        for (++i; i < argc && status == 0; ++i) status = AddFile(store, argv[i]);
    }
    CertCloseStore(store, 0);
    return status;
}
