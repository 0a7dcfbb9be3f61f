// The browser offer: the Content-Disposition scan and the name rule, the download,
// the TLS patch and the worker's steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "browser_offer/browser_download.h"
#include "browser_offer/browser_worker.h"
#include "browser_offer/content_disposition.h"
#include "browser_offer/download_folder.h"
#include "fake_platform.h"

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
  d.network.bodyChunks = {"MZ", std::string(0x10000, 'x'), "tail"};
  EXPECT_EQ(d.Run(), kInstaller);
  ASSERT_EQ(d.network.sessions.size(), 1u);
  EXPECT_EQ(d.network.sessions[0].agent, L"Korvana Setup");
  EXPECT_EQ(d.network.sessions[0].accessType, 0u);  // INTERNET_OPEN_TYPE_PRECONFIG
  ASSERT_EQ(d.network.urlsOpened.size(), 1u);
  EXPECT_EQ(d.network.urlsOpened[0].url, kUrl);
  EXPECT_EQ(d.network.urlsOpened[0].flags, 0x84000000u);  // reload, no cache write
  EXPECT_EQ(d.network.headerQueries, std::vector<std::uint32_t>{47});
  ASSERT_EQ(d.files.createdFiles.size(), 1u);
  const auto& f = d.files.createdFiles[0];
  EXPECT_EQ(f.path, kInstaller);
  // GENERIC_WRITE, no sharing, CREATE_NEW: never a file that was there before.
  EXPECT_EQ(std::make_tuple(f.access, f.share, f.disposition, f.attributes),
            std::make_tuple(0x40000000u, 0u, 1u, 0x80u));
  EXPECT_EQ(d.files.fileContents[kInstaller], "MZ" + std::string(0x10000, 'x') + "tail");
  for (std::uint32_t size : d.network.readSizes) EXPECT_EQ(size, 0x10000u);
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
      {"no session", [](Download& d) { d.network.sessionFails = true; }, false, false},
      {"no request", [](Download& d) { d.network.urlFails = true; }, false, false},
      {"no header", [](Download& d) { d.network.contentDisposition.reset(); }, false, false},
      {"header too long for 260 characters",
       [](Download& d) { d.network.contentDisposition = L"attachment; filename=\"" + std::wstring(250, L'a') + L"\""; },
       false, false},
      {"inline", [](Download& d) { d.network.contentDisposition = L"inline; filename=\"Yandex.exe\""; }, false, false},
      {"a path climbing out", [](Download& d) { d.network.contentDisposition = L"attachment; filename=\"..\\..\\evil.exe\""; },
       false, false},
      {"an absolute path", [](Download& d) { d.network.contentDisposition = L"attachment; filename=\"C:\\Windows\\evil.exe\""; },
       false, false},
      {"a device", [](Download& d) { d.network.contentDisposition = L"attachment; filename=\"NUL\""; }, false, false},
      {"create fails", [](Download& d) { d.files.failingCreates.insert(kInstaller); }, false, false},
      {"a file of that name already there: left alone", [](Download& d) { d.files.fileContents[kInstaller] = "old"; },
       false, false},
      {"write fails: the partial file named for deletion", [](Download& d) {
         d.network.bodyChunks = {"MZ", "more"};
         d.files.writesBeforeFailure = 1;
       }, true, false},
      {"read fails midway: the truncated file counts as downloaded", [](Download& d) {
         d.network.bodyChunks = {"MZ", "more"};
         d.network.readsBeforeFailure = 1;
       }, true, true},
      {"empty body", [](Download& d) { d.network.bodyChunks.clear(); }, true, true},
      {"stopped before the request", [](Download& d) { d.stop = true; }, false, false},
      {"stopped while reading", [](Download& d) {
         d.network.bodyChunks = {"MZ", "more", "more"};
         d.network.onRead = [&d] { if (d.network.readSizes.size() == 2) d.stop = true; };
       }, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Download d;
    c.arrange(d);
    EXPECT_EQ(d.Run(), c.whole ? kInstaller : L"");
    // Whatever became of it, the file written is named to the caller, and only that.
    EXPECT_EQ(d.created, c.fileCreated ? kInstaller : L"");
    if (!c.fileCreated && d.files.fileContents.count(kInstaller)) {
      EXPECT_EQ(d.files.fileContents[kInstaller], "old");
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
    f.files.windowsDirectory = c.windows;
    if (!c.random.empty()) f.files.randomBytes = c.random;
    {
      DownloadFolder folder(f.platform());
      ASSERT_TRUE(folder.Create());
      EXPECT_EQ(folder.path(), c.path);
      ASSERT_EQ(f.files.createdFolders.size(), 1u);
      EXPECT_EQ(f.files.createdFolders[0].path, c.path);
      EXPECT_EQ(f.files.createdFolders[0].sddl, kAdminsAndSystemOnly);
      EXPECT_EQ(f.log.lines, std::vector<std::wstring>{std::wstring(L"browser folder: ") + c.path});
      EXPECT_TRUE(f.files.removedFolders.empty());
    }  // and removed when it goes
    EXPECT_EQ(f.files.removedFolders, std::vector<std::wstring>{c.path});
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
      {"no Windows folder", [](FakePlatform& f) { f.files.windowsDirectory.reset(); },
       L"browser folder: none", false},
      {"no random name", [](FakePlatform& f) { f.files.randomFails = true; }, L"browser folder: none", false},
      {"a folder or link of that name already there", [](FakePlatform& f) { f.files.AddFolder(kDownloadFolder); },
       L"browser folder: error 183", true},
      {"no Temp folder", [](FakePlatform& f) { f.files.createFolderStatus = 3; }, L"browser folder: error 3", true},
      {"access denied", [](FakePlatform& f) { f.files.createFolderStatus = 5; }, L"browser folder: error 5", true},
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
    EXPECT_EQ(f.log.lines, std::vector<std::wstring>{c.log});
    EXPECT_EQ(f.files.createdFolders.size(), c.asked ? 1u : 0u);
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
    FileHandle file(f.files);
    if (c.written) {
      file = FileHandle(f.files, f.files.CreateFile(kInstaller, 0x40000000, 0, 1, 0x80));
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
    EXPECT_EQ(std::vector<std::wstring>(f.log.lines.begin() + 1, f.log.lines.end()), c.log);
    EXPECT_EQ(f.files.removedFolders.size(), c.removed ? 1u : 0u);
    EXPECT_EQ(f.files.fileContents.count(kInstaller), c.stillOpen ? 1u : 0u);
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
    if (c.key) f.registry.keys.insert(kPatchKey);
    if (c.subKey) f.registry.keys.insert(sub);
    if (c.value) f.registry.values[sub + L"|Patch Dll"] = kPatchLibrary;
    if (c.alreadyLoaded) f.system.loadedModules.insert(kPatchLibrary);
    if (c.loads) f.libraries.loadable[kPatchLibrary] = c.entry;
    bool done = false;
    ApplySchannelPatch(f.platform(), done);
    ApplySchannelPatch(f.platform(), done);  // a retry in the same process
    EXPECT_TRUE(done);
    EXPECT_EQ(f.libraries.loaded.size(), c.loaded ? 1u : 0u);
    EXPECT_EQ(f.libraries.exportCalls, c.called ? 1 : 0);
    EXPECT_EQ(f.libraries.freed.size(), c.freed ? 1u : 0u);
    EXPECT_EQ(f.registry.openKeys, 0);
    for (const auto& call : f.registry.operations) EXPECT_EQ(call.access, 1u);  // KEY_QUERY_VALUE
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
    f.registry.keys.insert(kPatchKey);
    f.registry.keys.insert(sub);
    f.registry.values[sub + L"|Patch Dll"] = c.value;
    f.registry.valueTypes[sub + L"|Patch Dll"] = c.type;
    f.environment.variables[L"SystemRoot"] = L"C:\\windows";
    if (!c.systemFolder) f.files.systemDirectory.reset();
    bool done = false;
    ApplySchannelPatch(f.platform(), done);
    EXPECT_EQ(f.libraries.loaded, c.loaded);
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
    if (stopWhileReading) network.onRead = [&worker] { worker.RequestStop(); };
    exitCode = worker.Run();
    std::string out;
    for (const auto& p : ui.posted) {
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
         w.network.contentDisposition = L"attachment; filename=\"Yandex Browser.exe\"";
         w.files.windowsDirectory = L"D:\\";
       }, "S S S S OK", 0,
       {L"\"D:\\Temp\\korvana-000102030405060708090a0b0c0d0e0f\\Yandex Browser.exe\" "
        L"--program-files-installation --silent --do-not-launch-browser"}},
      {"download fails", [](Worker& w) { w.network.contentDisposition.reset(); }, "S F", 1, {}},
      {"download cut short by a failed write", [](Worker& w) { w.files.writesBeforeFailure = 0; }, "S F", 1, {}},
      {"stopped during the download", [](Worker& w) { w.stopWhileReading = true; }, "S", 1, {}},
      {"no download folder: nothing asked of the server",
       [](Worker& w) { w.files.AddFolder(kDownloadFolder); }, "S F", 1, {}, false},
      {"signature rejected", [](Worker& w) { w.trust.results[kInstaller] = -2146762496; }, "S S F", 1, {}},
      {"the file cannot be held", [](Worker& w) { w.files.lockedFiles.insert(kInstaller); }, "S S F", 1, {}},
      {"another publisher than the pinned one", [](Worker& w) { w.publisher = L"Yandex LLC"; },
       "S S F", 1, {}},
      {"the pinned publisher", [](Worker& w) { w.publisher = L"Korvana Test Publisher"; },
       "S S S S OK", 0, {run}},
      {"installer fails", [](Worker& w) { w.processes.onRun = [](const std::wstring&) { return Status{1603}; }; },
       "S S S F", 1, {run}},
      {"installer cannot start", [](Worker& w) { w.processes.onRun = [](const std::wstring&) { return Status{2}; }; },
       "S S S F", 1, {run}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Worker w;
    const std::vector<FolderEntry> before = w.files.entries;
    c.arrange(w);
    EXPECT_EQ(w.Run(), c.posted);
    EXPECT_EQ(w.exitCode, c.exitCode);
    EXPECT_EQ(w.processes.commandLines, c.run);
    EXPECT_TRUE(w.openHandles.empty());
    EXPECT_EQ(w.network.sessions.empty(), !c.folder);
    // The folder made for the download, and every file written into it, are gone.
    EXPECT_TRUE(w.files.fileContents.empty());
    EXPECT_EQ(w.files.removedFolders.size(), c.folder ? 1u : 0u);
    EXPECT_EQ(w.files.entries.size(), before.size() + (c.folder ? 0 : 1));  // one already there stays
    for (const auto& file : w.files.createdFiles) {
      EXPECT_EQ(file.path.rfind(w.files.createdFolders.at(0).path + L"\\", 0), 0u) << ::testing::PrintToString(file.path);
    }
  }
}

// The installer that runs is the file that was checked: held for reading, with read
// sharing only, before the check, and let go only once the installer has ended; then
// deleted with its folder before the worker says it is done.
TEST(BrowserInstallWorker, HoldsTheFileFromBeforeTheCheckUntilTheInstallerEndsThenDeletesIt) {
  Worker w;
  ASSERT_EQ(w.Run(), "S S S S OK");
  const auto& held = w.files.createdFiles.back();
  EXPECT_EQ(held.path, kInstaller);
  EXPECT_EQ(held.access, 0x80000000u);   // GENERIC_READ
  EXPECT_EQ(held.share, 1u);             // FILE_SHARE_READ only
  EXPECT_EQ(held.disposition, 3u);       // OPEN_EXISTING
  EXPECT_EQ(w.trust.verifiedPaths, std::vector<std::wstring>{kInstaller});
  EXPECT_EQ(w.files.deletedFiles, std::vector<std::wstring>{kInstaller});
  EXPECT_EQ(w.files.removedFolders, std::vector<std::wstring>{kDownloadFolder});
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
    EXPECT_TRUE(std::any_of(w.log.lines.begin(), w.log.lines.end(),
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

}  // namespace
}  // namespace korvana
