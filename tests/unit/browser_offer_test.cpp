// The browser offer: the Content-Disposition scan and the name rule, the download,
// the TLS patch, the worker's steps, and the completion dialog's states.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "browser_offer/browser_download.h"
#include "browser_offer/browser_worker.h"
#include "browser_offer/content_disposition.h"
#include "browser_offer/download_folder.h"
#include "fake_platform.h"
#include "resources/dialog_ids.h"
#include "resources/text_ids.h"
#include "ui/completion_dialog.h"

namespace korvana {
namespace {

using testing::FakeDialog;
using testing::FakePlatform;
using testing::kDownloadFolder;
using testing::kPatchKey;
using testing::kPatchLibrary;

constexpr wchar_t kUrl[] = L"https://download.test/download/yandex-browser";
const std::wstring kInstaller = std::wstring(kDownloadFolder) + L"\\Yandex.exe";
constexpr wchar_t kAdminsAndSystemOnly[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

std::optional<std::wstring> Scan(const std::wstring& value) {
  return ScanAttachmentFileName(value.c_str(), value.size());
}

TEST(ContentDisposition, AcceptsOnlyTheAttachmentFormWithAQuotedName) {
  const struct {
    const wchar_t* value;
    const wchar_t* name;  // nullptr: rejected
  } cases[] = {
      {L"attachment; filename = \"Yandex.exe\"", L"Yandex.exe"},
      {L"attachment;filename=\"Yandex.exe\"", L"Yandex.exe"},
      {L"attachment;\t filename \r\n=  \"Yandex.exe\"", L"Yandex.exe"},
      {L"attachment; filename=\"Yandex Browser.exe\"; size=1", L"Yandex Browser.exe"},
      {L"attachment; filename=\"Yandex.exe", L"Yandex.exe"},  // the closing quote may be missing
      {L"attachment; filename=\"a\"", L"a"},
      {L"attachment; filename=Yandex.exe", nullptr},  // unquoted
      {L"attachment; filename=\"\"", nullptr},        // empty
      {L"attachment; filename=\"", nullptr},
      {L"Attachment; filename=\"Yandex.exe\"", nullptr},  // case matters
      {L"inline; filename=\"Yandex.exe\"", nullptr},
      {L" attachment; filename=\"Yandex.exe\"", nullptr},  // nothing may precede
      {L"attachment ; filename=\"Yandex.exe\"", nullptr},
      {L"attachment; filename*=UTF-8''Yandex.exe", nullptr},
      {L"attachment; name=\"Yandex.exe\"", nullptr},
      {L"attachment", nullptr},
      {L"", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.value));
    auto name = Scan(c.value);
    if (c.name == nullptr) {
      EXPECT_FALSE(name.has_value());
    } else {
      ASSERT_TRUE(name.has_value());
      EXPECT_EQ(*name, c.name);
    }
  }
}

TEST(ContentDisposition, StopsAtTheCountAndAtANull) {
  const std::wstring value = L"attachment; filename=\"Yandex.exe\"";
  EXPECT_EQ(ScanAttachmentFileName(value.c_str(), value.size() - 5), L"Yandex");
  EXPECT_FALSE(ScanAttachmentFileName(value.c_str(), 22).has_value());  // ends at the quote
  const wchar_t withNull[] = L"attachment; filename=\"Ya\0ndex.exe\"";
  EXPECT_EQ(ScanAttachmentFileName(withNull, sizeof withNull / sizeof withNull[0]), L"Ya");
  EXPECT_FALSE(ScanAttachmentFileName(nullptr, 10).has_value());
}

TEST(ContentDisposition, OnlyPlainFileNamesMayBeWritten) {
  const struct {
    const wchar_t* name;
    bool plain;
  } cases[] = {
      {L"Yandex.exe", true},        {L"Yandex Browser (1).exe", true},
      {L"Яндекс.exe", true},        {L"..exe", true},
      {L"", false},                 {L".", false},
      {L"..", false},               {L"..\\Yandex.exe", false},
      {L"C:\\Windows\\x.exe", false}, {L"/tmp/x.exe", false},
      {L"sub/x.exe", false},        {L"C:x.exe", false},
      {L"x.exe:stream", false},     {L"\\\\server\\share\\x.exe", false},
      {L"x?.exe", false},           {L"x*.exe", false},
      {L"a<b>.exe", false},         {L"a|b.exe", false},
      {L"tab\t.exe", false},        {L"x.exe.", false},
      {L"x.exe ", false},           {L"CON", false},
      {L"nul.exe", false},          {L"Com1.exe", false},
      {L"LPT9", false},             {L"aux .txt", false},
      {L"COM0.exe", true},          {L"console.exe", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(c.name)));
    EXPECT_EQ(IsPlainFileName(c.name), c.plain);
  }
}

// ---- The download ---------------------------------------------------------------

struct Download : FakePlatform {
  StopRequest stop{false};
  bool patchDone = true;  // the patch has its own test
  std::wstring created;
  // The file's full path after a whole download, else empty.
  std::wstring Run() {
    return DownloadBrowserInstaller(platform(), kUrl, kDownloadFolder, stop, patchDone, created)
               ? created
               : std::wstring();
  }
};

TEST(DownloadBrowserInstaller, AsksOnceWithTheAgentAndStreamsIntoANewFileInTheFolder) {
  Download d;
  d.bodyChunks = {"MZ", std::string(0x10000, 'x'), "tail"};
  EXPECT_EQ(d.Run(), kInstaller);
  ASSERT_EQ(d.sessions.size(), 1u);
  EXPECT_EQ(d.sessions[0].agent, L"Korvana Setup");
  EXPECT_EQ(d.sessions[0].accessType, 0u);  // INTERNET_OPEN_TYPE_PRECONFIG
  ASSERT_EQ(d.urlsOpened.size(), 1u);
  EXPECT_EQ(d.urlsOpened[0].url, kUrl);
  EXPECT_EQ(d.urlsOpened[0].flags, 0x84000000u);  // reload, no cache write
  EXPECT_EQ(d.headerQueries, std::vector<std::uint32_t>{47});
  ASSERT_EQ(d.createdFiles.size(), 1u);
  const auto& f = d.createdFiles[0];
  EXPECT_EQ(f.path, kInstaller);
  // GENERIC_WRITE, no sharing, CREATE_NEW: never a file that was there before.
  EXPECT_EQ(std::make_tuple(f.access, f.share, f.disposition, f.attributes),
            std::make_tuple(0x40000000u, 0u, 1u, 0x80u));
  EXPECT_EQ(d.fileContents[kInstaller], "MZ" + std::string(0x10000, 'x') + "tail");
  for (std::uint32_t size : d.readSizes) EXPECT_EQ(size, 0x10000u);
  EXPECT_TRUE(d.openHandles.empty());
  EXPECT_TRUE(d.handleFaults.empty());
}

TEST(DownloadBrowserInstaller, EveryFailureGivesNoNameAndClosesEverything) {
  const struct {
    const char* name;
    std::function<void(Download&)> arrange;
    bool fileCreated;
    bool whole;  // the download counts as complete
  } cases[] = {
      {"no session", [](Download& d) { d.sessionFails = true; }, false, false},
      {"no request", [](Download& d) { d.urlFails = true; }, false, false},
      {"no header", [](Download& d) { d.contentDisposition.reset(); }, false, false},
      {"header too long for 260 characters",
       [](Download& d) { d.contentDisposition = L"attachment; filename=\"" + std::wstring(250, L'a') + L"\""; },
       false, false},
      {"inline", [](Download& d) { d.contentDisposition = L"inline; filename=\"Yandex.exe\""; }, false, false},
      {"a path climbing out", [](Download& d) { d.contentDisposition = L"attachment; filename=\"..\\..\\evil.exe\""; },
       false, false},
      {"an absolute path", [](Download& d) { d.contentDisposition = L"attachment; filename=\"C:\\Windows\\evil.exe\""; },
       false, false},
      {"a device", [](Download& d) { d.contentDisposition = L"attachment; filename=\"NUL\""; }, false, false},
      {"create fails", [](Download& d) { d.failingCreates.insert(kInstaller); }, false, false},
      {"a file of that name already there: left alone", [](Download& d) { d.fileContents[kInstaller] = "old"; },
       false, false},
      {"write fails: the partial file named for deletion", [](Download& d) {
         d.bodyChunks = {"MZ", "more"};
         d.writesBeforeFailure = 1;
       }, true, false},
      {"read fails midway: the truncated file counts as downloaded", [](Download& d) {
         d.bodyChunks = {"MZ", "more"};
         d.readsBeforeFailure = 1;
       }, true, true},
      {"empty body", [](Download& d) { d.bodyChunks.clear(); }, true, true},
      {"stopped before the request", [](Download& d) { d.stop = true; }, false, false},
      {"stopped while reading", [](Download& d) {
         d.bodyChunks = {"MZ", "more", "more"};
         d.onRead = [&d] { if (d.readSizes.size() == 2) d.stop = true; };
       }, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Download d;
    c.arrange(d);
    EXPECT_EQ(d.Run(), c.whole ? kInstaller : L"");
    // Whatever became of it, the file written is named to the caller, and only that.
    EXPECT_EQ(d.created, c.fileCreated ? kInstaller : L"");
    if (!c.fileCreated && d.fileContents.count(kInstaller)) {
      EXPECT_EQ(d.fileContents[kInstaller], "old");
    }
    EXPECT_TRUE(d.openHandles.empty());
    EXPECT_TRUE(d.handleFaults.empty());
  }
}

// ---- The download folder ---------------------------------------------------------

TEST(DownloadFolder, MadeNewBelowTheWindowsTempFolderForAdministratorsAndSystemOnly) {
  const struct {
    const char* name;
    std::optional<std::wstring> windows;
    std::vector<std::uint8_t> random;
    const wchar_t* path;
  } cases[] = {
      {"as Windows keeps it", std::wstring(L"C:\\windows"), {}, kDownloadFolder},
      {"every byte as two lower-case digits", std::wstring(L"C:\\WINNT"), {0xde, 0xad, 0xbe, 0xef, 0xa0, 0x5f},
       L"C:\\WINNT\\Temp\\korvana-deadbeefa05fdeadbeefa05fdeadbeef"},
      {"Windows in a drive root", std::wstring(L"D:\\"), {}, L"D:\\Temp\\korvana-000102030405060708090a0b0c0d0e0f"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform f;
    f.windowsDirectory = c.windows;
    if (!c.random.empty()) f.randomBytes = c.random;
    {
      DownloadFolder folder(f.platform());
      ASSERT_TRUE(folder.Create());
      EXPECT_EQ(folder.path(), c.path);
      ASSERT_EQ(f.createdFolders.size(), 1u);
      EXPECT_EQ(f.createdFolders[0].path, c.path);
      EXPECT_EQ(f.createdFolders[0].sddl, kAdminsAndSystemOnly);
      EXPECT_EQ(f.logLines, std::vector<std::wstring>{std::wstring(L"browser folder: ") + c.path});
      EXPECT_TRUE(f.removedFolders.empty());
    }  // and removed when it goes
    EXPECT_EQ(f.removedFolders, std::vector<std::wstring>{c.path});
    EXPECT_EQ(f.Count("GetEnvironmentVariable"), 0);  // never TMP
  }
}

TEST(DownloadFolder, RefusedWhenItCannotBeMadeNewAndNothingThereIsTouched) {
  const struct {
    const char* name;
    std::function<void(FakePlatform&)> arrange;
    const wchar_t* log;
    bool asked;  // CreateSecuredFolder was called
  } cases[] = {
      {"no Windows folder", [](FakePlatform& f) { f.windowsDirectory.reset(); },
       L"browser folder: none", false},
      {"no random name", [](FakePlatform& f) { f.randomFails = true; }, L"browser folder: none", false},
      {"a folder or link of that name already there", [](FakePlatform& f) { f.AddFolder(kDownloadFolder); },
       L"browser folder: error 183", true},
      {"no Temp folder", [](FakePlatform& f) { f.createFolderStatus = 3; }, L"browser folder: error 3", true},
      {"access denied", [](FakePlatform& f) { f.createFolderStatus = 5; }, L"browser folder: error 5", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform f;
    c.arrange(f);
    {
      DownloadFolder folder(f.platform());
      EXPECT_FALSE(folder.Create());
      EXPECT_EQ(folder.path(), L"");
      folder.file = kInstaller;  // even a file named by mistake is left alone
    }
    EXPECT_EQ(f.logLines, std::vector<std::wstring>{c.log});
    EXPECT_EQ(f.createdFolders.size(), c.asked ? 1u : 0u);
    EXPECT_EQ(f.Count("RemoveDirectory") + f.Count("DeleteFile"), 0);
  }
}

TEST(DownloadFolder, RemovesTheFileThenTheFolderOnceAndLogsWhatStays) {
  const struct {
    const char* name;
    bool written, stillOpen;
    std::vector<std::wstring> log;  // after the folder's own line
    bool removed;
  } cases[] = {
      {"nothing written", false, false, {}, true},
      {"the installer written", true, false, {}, true},
      {"the installer still open", true, true,
       {L"browser folder: left, error 145"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform f;
    DownloadFolder folder(f.platform());
    ASSERT_TRUE(folder.Create());
    FileHandle file(f);
    if (c.written) {
      file = FileHandle(f, f.CreateFile(kInstaller, 0x40000000, 0, 1, 0x80));
      folder.file = kInstaller;
      if (!c.stillOpen) file.reset();
    }
    folder.Remove();
    folder.Remove();  // and again when it goes: nothing more
    std::vector<std::string> order;
    for (const std::string& call : f.calls)
      if (call == "DeleteFile" || call == "RemoveDirectory") order.push_back(call);
    const std::vector<std::string> expected =
        c.written ? std::vector<std::string>{"DeleteFile", "RemoveDirectory"}
                  : std::vector<std::string>{"RemoveDirectory"};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(std::vector<std::wstring>(f.logLines.begin() + 1, f.logLines.end()), c.log);
    EXPECT_EQ(f.removedFolders.size(), c.removed ? 1u : 0u);
    EXPECT_EQ(f.fileContents.count(kInstaller), c.stillOpen ? 1u : 0u);
  }
}

TEST(ApplySchannelPatch, LoadsTheNamedLibraryOncePerProcessAndUnloadsAFailedPatch) {
  const std::wstring sub = std::wstring(kPatchKey) + L"\\SCHANNEL";
  const struct {
    const char* name;
    bool key, subKey, value, alreadyLoaded, loads;
    std::optional<std::int32_t> entry;
    bool loaded, called, freed;
  } cases[] = {
      {"no key", false, false, false, false, true, 1, false, false, false},
      {"no SCHANNEL subkey", true, false, false, false, true, 1, false, false, false},
      {"no value", true, true, false, false, true, 1, false, false, false},
      {"already loaded: left alone", true, true, true, true, true, 1, false, false, false},
      {"does not load", true, true, true, false, false, 1, true, false, false},
      {"no entry: stays loaded", true, true, true, false, true, std::nullopt, true, false, false},
      {"entry fails: unloaded", true, true, true, false, true, 0, true, true, true},
      {"entry works: kept", true, true, true, false, true, 1, true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform f;
    if (c.key) f.keys.insert(kPatchKey);
    if (c.subKey) f.keys.insert(sub);
    if (c.value) f.registryValues[sub + L"|Patch Dll"] = kPatchLibrary;
    if (c.alreadyLoaded) f.loadedModules.insert(kPatchLibrary);
    if (c.loads) f.libraries[kPatchLibrary] = c.entry;
    bool done = false;
    ApplySchannelPatch(f.platform(), done);
    ApplySchannelPatch(f.platform(), done);  // a retry in the same process
    EXPECT_TRUE(done);
    EXPECT_EQ(f.loadedLibraries.size(), c.loaded ? 1u : 0u);
    EXPECT_EQ(f.exportCalls, c.called ? 1 : 0);
    EXPECT_EQ(f.freedLibraries.size(), c.freed ? 1u : 0u);
    EXPECT_EQ(f.openKeys, 0);
    for (const auto& call : f.registryCalls) EXPECT_EQ(call.access, 1u);  // KEY_QUERY_VALUE
  }
}

TEST(ApplySchannelPatch, AnythingButAFullPathComesFromSystem32) {
  // With its null, the whole 520-byte buffer (wchar_t is 2 bytes on Windows, 4 here).
  const std::wstring filling(520 / sizeof(wchar_t) - 1, L'x');
  const struct {
    std::wstring value;
    bool systemFolder;
    std::vector<std::wstring> loaded;
    std::uint32_t type = 1;  // REG_SZ
  } cases[] = {
      {L"C:\\patch\\korvpatch.dll", true, {L"C:\\patch\\korvpatch.dll"}},
      // Only texts, expanded where they ask for it; nothing cut short, nothing climbing out.
      {L"%SystemRoot%\\korvpatch.dll", true, {L"C:\\windows\\korvpatch.dll"}, 2},
      {L"%SystemRoot%\\korvpatch.dll", true, {L"C:\\windows\\system32\\%SystemRoot%\\korvpatch.dll"}},
      {L"C:\\patch\\korvpatch.dll", true, {}, 7},  // REG_MULTI_SZ
      {L"C:\\patch\\korvpatch.dll", true, {}, 3},  // REG_BINARY
      {filling.substr(1), true, {L"C:\\windows\\system32\\" + filling.substr(1)}},
      {filling, true, {}},
      {L"..\\korvpatch.dll", true, {}},
      {L"sub\\..\\..\\korvpatch.dll", true, {}},
      {L"C:\\windows\\system32\\..\\korvpatch.dll", true, {}},
      {L"", true, {}},
      {L"\\\\server\\share\\korvpatch.dll", true, {L"\\\\server\\share\\korvpatch.dll"}},
      {L"korvpatch.dll", true, {L"C:\\windows\\system32\\korvpatch.dll"}},
      {L"patch\\korvpatch.dll", true, {L"C:\\windows\\system32\\patch\\korvpatch.dll"}},
      {L"C:korvpatch.dll", true, {L"C:\\windows\\system32\\C:korvpatch.dll"}},
      {L"korvpatch.dll", false, {}},  // no System32 folder: nothing is loaded
  };
  const std::wstring sub = std::wstring(kPatchKey) + L"\\SCHANNEL";
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(c.value)));
    FakePlatform f;
    f.keys.insert(kPatchKey);
    f.keys.insert(sub);
    f.registryValues[sub + L"|Patch Dll"] = c.value;
    f.registryValueTypes[sub + L"|Patch Dll"] = c.type;
    f.environment[L"SystemRoot"] = L"C:\\windows";
    if (!c.systemFolder) f.systemDirectory.reset();
    bool done = false;
    ApplySchannelPatch(f.platform(), done);
    EXPECT_EQ(f.loadedLibraries, c.loaded);
  }
}

// ---- The worker ------------------------------------------------------------------

struct Worker : FakePlatform {
  bool patchDone = true;
  std::wstring publisher;  // pinned; empty: any trusted one
  bool stopWhileReading = false;  // the user cancels during the download
  // The messages posted, as S (step), F (failure) and OK (the closing command).
  std::string Run() {
    BrowserInstallWorker worker(platform(), FakeDialog::kWindow, kUrl, patchDone, publisher);
    if (stopWhileReading) onRead = [&worker] { worker.RequestStop(); };
    exitCode = worker.Run();
    std::string out;
    for (const auto& p : posted) {
      EXPECT_EQ(p.window, FakeDialog::kWindow);
      EXPECT_EQ(p.lParam, 0);
      out += out.empty() ? "" : " ";
      out += p.message == WM_BROWSER_STEP ? "S" : p.message == WM_BROWSER_FAILED ? "F" : "OK";
      EXPECT_EQ(p.wParam, p.message == 0x0111 ? 1u : 0u);
    }
    return out;
  }
  std::uint32_t exitCode = 99;
};

TEST(BrowserInstallWorker, StepsForEachOutcomeAndNothingLeftBehind) {
  const std::wstring run = L"\"" + kInstaller + L"\" --program-files-installation --silent --do-not-launch-browser";
  const struct {
    const char* name;
    std::function<void(Worker&)> arrange;
    const char* posted;
    std::uint32_t exitCode;
    std::vector<std::wstring> run;
    bool folder = true;  // a download folder was made (and must be gone again)
  } cases[] = {
      {"success", [](Worker&) {}, "S S S S OK", 0, {run}},
      {"a name with a blank, Windows in a drive root", [](Worker& w) {
         w.contentDisposition = L"attachment; filename=\"Yandex Browser.exe\"";
         w.windowsDirectory = L"D:\\";
       }, "S S S S OK", 0,
       {L"\"D:\\Temp\\korvana-000102030405060708090a0b0c0d0e0f\\Yandex Browser.exe\" "
        L"--program-files-installation --silent --do-not-launch-browser"}},
      {"download fails", [](Worker& w) { w.contentDisposition.reset(); }, "S F", 1, {}},
      {"download cut short by a failed write", [](Worker& w) { w.writesBeforeFailure = 0; }, "S F", 1, {}},
      {"stopped during the download", [](Worker& w) { w.stopWhileReading = true; }, "S", 1, {}},
      {"no download folder: nothing asked of the server",
       [](Worker& w) { w.AddFolder(kDownloadFolder); }, "S F", 1, {}, false},
      {"signature rejected", [](Worker& w) { w.trustResults[kInstaller] = -2146762496; }, "S S F", 1, {}},
      {"the file cannot be held", [](Worker& w) { w.lockedFiles.insert(kInstaller); }, "S S F", 1, {}},
      {"another publisher than the pinned one", [](Worker& w) { w.publisher = L"Yandex LLC"; },
       "S S F", 1, {}},
      {"the pinned publisher", [](Worker& w) { w.publisher = L"Korvana Test Publisher"; },
       "S S S S OK", 0, {run}},
      {"installer fails", [](Worker& w) { w.onRun = [](const std::wstring&) { return Status{1603}; }; },
       "S S S F", 1, {run}},
      {"installer cannot start", [](Worker& w) { w.onRun = [](const std::wstring&) { return Status{2}; }; },
       "S S S F", 1, {run}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Worker w;
    const std::vector<FolderEntry> before = w.entries;
    c.arrange(w);
    EXPECT_EQ(w.Run(), c.posted);
    EXPECT_EQ(w.exitCode, c.exitCode);
    EXPECT_EQ(w.commandLines, c.run);
    EXPECT_TRUE(w.openHandles.empty());
    EXPECT_EQ(w.sessions.empty(), !c.folder);
    // The folder made for the download, and every file written into it, are gone.
    EXPECT_TRUE(w.fileContents.empty());
    EXPECT_EQ(w.removedFolders.size(), c.folder ? 1u : 0u);
    EXPECT_EQ(w.entries.size(), before.size() + (c.folder ? 0 : 1));  // one already there stays
    for (const auto& file : w.createdFiles) {
      EXPECT_EQ(file.path.rfind(w.createdFolders.at(0).path + L"\\", 0), 0u) << ::testing::PrintToString(file.path);
    }
  }
}

// The installer that runs is the file that was checked: held for reading, with read
// sharing only, before the check, and let go only once the installer has ended; then
// deleted with its folder before the worker says it is done.
TEST(BrowserInstallWorker, HoldsTheFileFromBeforeTheCheckUntilTheInstallerEndsThenDeletesIt) {
  Worker w;
  ASSERT_EQ(w.Run(), "S S S S OK");
  const auto& held = w.createdFiles.back();
  EXPECT_EQ(held.path, kInstaller);
  EXPECT_EQ(held.access, 0x80000000u);   // GENERIC_READ
  EXPECT_EQ(held.share, 1u);             // FILE_SHARE_READ only
  EXPECT_EQ(held.disposition, 3u);       // OPEN_EXISTING
  EXPECT_EQ(w.verifiedPaths, std::vector<std::wstring>{kInstaller});
  EXPECT_EQ(w.deletedFiles, std::vector<std::wstring>{kInstaller});
  EXPECT_EQ(w.removedFolders, std::vector<std::wstring>{kDownloadFolder});
  std::vector<std::string> order;
  for (const std::string& call : w.calls)
    if (call == "CreateDirectory" || call == "CreateFile" || call == "WinVerifyTrust" ||
        call == "RunAndWait" || call == "CloseFile" || call == "DeleteFile" ||
        call == "RemoveDirectory" || call == "PostMessage")
      order.push_back(call);
  // The folder; the download's own file, written and closed; then hold, check, start,
  // let go; the file and the folder deleted; only then the last two messages.
  EXPECT_EQ(order, (std::vector<std::string>{
                       "PostMessage", "CreateDirectory", "CreateFile", "CloseFile", "PostMessage",
                       "CreateFile", "WinVerifyTrust", "PostMessage", "RunAndWait", "CloseFile",
                       "DeleteFile", "RemoveDirectory", "PostMessage", "PostMessage"}));
  // The own log names the folder, the file saved and the one checked.
  const std::wstring logged[] = {std::wstring(L"browser folder: ") + kDownloadFolder,
                                 L"saved as: " + kInstaller, L"signature of " + kInstaller + L": 0x00000000"};
  for (const std::wstring& line : logged) {
    EXPECT_TRUE(std::any_of(w.logLines.begin(), w.logLines.end(),
                            [&](const std::wstring& l) { return l.rfind(line, 0) == 0; }))
        << ::testing::PrintToString(line);
  }
}

TEST(SignatureAccepted, TrustedAndWherePinnedByThatPublisher) {
  const struct {
    std::int32_t result;
    const wchar_t* signer;
    const wchar_t* pinned;
    bool accepted;
  } cases[] = {
      {0, L"Korvana Test Publisher", L"", true},        // nothing pinned: any trusted one
      {0, L"", L"", true},                              // ... even where no signer was read
      {0, L"Korvana Test Publisher", L"Korvana Test Publisher", true},
      {0, L"Korvana Other Publisher", L"Korvana Test Publisher", false},
      {0, L"korvana test publisher", L"Korvana Test Publisher", false},  // exactly
      {0, L"", L"Korvana Test Publisher", false},       // no signer read
      {-2146762496, L"Korvana Test Publisher", L"Korvana Test Publisher", false},  // not trusted
      {-2146762496, L"", L"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(c.signer) + L" / " + c.pinned));
    EXPECT_EQ(SignatureAccepted({c.result, c.signer}, c.pinned), c.accepted);
  }
}

// ---- The dialog ------------------------------------------------------------------

std::wstring Text(std::uint16_t id) { return CompiledCatalog().LoadText(id); }

struct Completion : FakePlatform {
  bool restartDue = false;
  bool patchDone = true;
  bool cspMode = false;
  std::optional<CompletionDialog> logic;
  std::optional<FakeDialog> dialog;

  FakeDialog& Open() {
    logic.emplace(platform(), cspMode, restartDue, patchDone, kUrl);
    dialog.emplace(*logic);
    EXPECT_TRUE(dialog->Init());
    return *dialog;
  }
  std::wstring Label() { return dialog->texts[kBrowserBox]; }
};

TEST(CompletionDialog, InitialisationChoosesTheTextAndTheBoxes) {
  const struct {
    bool reboot, csp;
    const char* browser;  // "service", "key", "both", "none", "key, no manager"
    std::uint16_t text;
    bool restartBox, browserBox;
  } cases[] = {
      {true, true, "none", 107, true, true},   {true, false, "none", 108, true, true},
      {false, true, "none", 109, false, true}, {false, false, "none", 110, false, true},
      {false, false, "service", 110, false, false},
      {false, false, "key", 110, false, false},
      {false, false, "key, no manager", 110, false, false},
      {true, false, "both", 108, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.browser) + " " + std::to_string(c.text));
    Completion m;
    m.restartDue = c.reboot;
    m.cspMode = c.csp;
    std::string browser = c.browser;
    if (browser == "service" || browser == "both") m.services.insert(L"YandexBrowserService");
    if (browser.rfind("key", 0) == 0 || browser == "both")
      m.keys.insert(L"HKCU\\SOFTWARE\\Yandex\\YandexBrowser\\Session");
    m.serviceManagerFails = browser == "key, no manager";
    FakeDialog& d = m.Open();
    EXPECT_EQ(d.texts[kCompletionMessage], Text(c.text));
    EXPECT_EQ(d.IsChecked(kRestartBox), c.restartBox);
    EXPECT_EQ(d.IsChecked(kBrowserBox), c.browserBox);
    EXPECT_TRUE(d.IsEnabled(kBrowserBox));
    EXPECT_EQ(d.icons, std::vector<std::uint16_t>{100});
    EXPECT_EQ(d.broughtToFront, 1);
    // The service is asked first; the registry only when it is not there.
    EXPECT_EQ(m.Count("RegOpenKeyEx"), browser == "service" || browser == "both" ? 0 : 1);
    for (std::uint32_t access : m.serviceAccesses) EXPECT_EQ(access, 4u);
    EXPECT_TRUE(m.openHandles.empty());
    EXPECT_EQ(m.openKeys, 0);
  }
}

TEST(CompletionDialog, OkWithEachCombinationOfBoxes) {
  constexpr auto kRestart = CompletionChoice::Restart;
  constexpr auto kNoRestart = CompletionChoice::NoRestart;
  constexpr auto kUnanswered = CompletionChoice::Unanswered;
  const struct {
    const char* name;
    bool restartDue, browserBox, restartBox, threadStarts;
    bool ended, workerStarted;
    CompletionChoice choice;
  } cases[] = {
      {"neither: closes, no restart chosen", true, false, false, true, true, false, kNoRestart},
      {"restart chosen without one due", false, false, true, true, true, false, kRestart},
      {"restart chosen", true, false, true, true, true, false, kRestart},
      {"browser: stays open, nothing chosen yet", true, true, true, true, false, true, kUnanswered},
      {"browser, no thread: closes unanswered", true, true, true, false, true, false, kUnanswered},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Completion m;
    m.restartDue = c.restartDue;
    m.threadStartFails = !c.threadStarts;
    FakeDialog& d = m.Open();
    d.Check(kBrowserBox, c.browserBox);
    d.Check(kRestartBox, c.restartBox);
    // Only a worker that cannot start leaves the message unhandled.
    EXPECT_EQ(d.Press(1), !(c.browserBox && !c.threadStarts));
    EXPECT_EQ(d.endedWith.has_value(), c.ended);
    EXPECT_EQ(d.endedWith.value_or(0), 0);
    EXPECT_EQ(m.startedThreads.size(), c.workerStarted ? 1u : 0u);
    // The restart is the run's to make once the dialog has closed.
    EXPECT_TRUE(m.exitWindowsCalls.empty());
    EXPECT_EQ(m.logic->choice(), c.choice);
    EXPECT_EQ(d.IsEnabled(kBrowserBox), !c.workerStarted);
    EXPECT_EQ(d.IsEnabled(1), !c.workerStarted);
    EXPECT_TRUE(d.IsEnabled(kRestartBox));
  }
}

TEST(CompletionDialog, LabelFollowsTheWorkerAndAFailureAllowsARetry) {
  const struct {
    const char* name;
    std::function<void(Completion&)> arrange;
    std::uint16_t label;
    bool closed;
  } cases[] = {
      {"success closes by itself", [](Completion&) {}, 125, true},
      {"download failure", [](Completion& m) { m.contentDisposition.reset(); }, 126, false},
      {"signature failure", [](Completion& m) { m.trustResults[kInstaller] = 1; }, 127, false},
      {"installer failure", [](Completion& m) { m.onRun = [](const std::wstring&) { return Status{1}; }; },
       132, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Completion m;
    c.arrange(m);
    FakeDialog& d = m.Open();
    d.Check(kRestartBox, true);
    d.Press(1);
    ASSERT_FALSE(m.startedThreads.empty());
    m.RunLastThread(d);
    EXPECT_EQ(m.Label(), Text(c.label));
    EXPECT_EQ(d.endedWith.has_value(), c.closed);
    // Closing by itself chooses the restart when the box says so; a failure waits for
    // the user.
    EXPECT_EQ(m.logic->choice(),
              c.closed ? CompletionChoice::Restart : CompletionChoice::Unanswered);
    if (c.closed) {
      EXPECT_EQ(m.threadWaits, std::vector<std::uint32_t>{0xFFFFFFFF});
      EXPECT_TRUE(m.openHandles.empty());
      continue;
    }
    EXPECT_TRUE(d.IsEnabled(kBrowserBox));
    EXPECT_TRUE(d.IsEnabled(1));
    EXPECT_TRUE(d.IsChecked(kBrowserBox));
    // OK again collects the ended worker and starts over from the download.
    d.Press(1);
    EXPECT_EQ(m.threadWaits, std::vector<std::uint32_t>{0xFFFFFFFF});
    EXPECT_EQ(m.startedThreads.size(), 2u);
    EXPECT_EQ(m.OpenCount("thread"), 1);
    d.Send(WM_BROWSER_STEP);
    EXPECT_EQ(m.Label(), Text(115));
  }
}

TEST(CompletionDialog, StepCaptionsInOrderAndNoFifth) {
  Completion m;
  FakeDialog& d = m.Open();
  d.Press(1);
  std::vector<std::wstring> labels;
  for (int i = 0; i < 5; ++i) {
    d.Send(WM_BROWSER_STEP);
    labels.push_back(m.Label());
  }
  EXPECT_EQ(labels, (std::vector<std::wstring>{Text(115), Text(123), Text(124), Text(125), Text(125)}));
  EXPECT_FALSE(d.Send(0x0111, kBrowserBox));  // other commands are left to the default
}

TEST(CompletionDialog, CancelStopsTheWorkerAndNothingItPostsLaterActs) {
  for (bool endsInTime : {true, false}) {
    SCOPED_TRACE(endsInTime ? "ends within the wait" : "given up on");
    Completion m;
    m.threadEndsInTime = endsInTime;
    FakeDialog& d = m.Open();
    d.Check(kRestartBox, true);
    d.Press(1);
    d.Send(WM_BROWSER_STEP);
    EXPECT_TRUE(d.Press(2));  // IDCANCEL: Esc or the close box
    EXPECT_EQ(d.endedWith, std::optional<std::intptr_t>(0));
    EXPECT_EQ(m.threadWaits, std::vector<std::uint32_t>{100});
    EXPECT_EQ(m.OpenCount("thread"), 0);
    EXPECT_EQ(m.logic->choice(), CompletionChoice::Unanswered);  // no restart on Cancel
    // The worker, still running, finds the stop request: no installer, no message.
    std::size_t postedBefore = m.posted.size();
    m.startedThreads.back()->Run();
    EXPECT_EQ(m.posted.size(), postedBefore);
    EXPECT_TRUE(m.commandLines.empty());
    // And what a worker might still have queued changes nothing.
    d.Send(WM_BROWSER_FAILED);
    d.Press(1);
    EXPECT_EQ(m.Label(), Text(115));
    EXPECT_EQ(m.startedThreads.size(), 1u);
  }
}

}  // namespace
}  // namespace korvana
