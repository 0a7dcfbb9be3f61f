#include "browser_offer/browser_download.h"

#include <cstdint>
#include <memory>

#include "browser_offer/content_disposition.h"
#include "platform/win_constants.h"
#include "support/paths.h"

namespace korvana {
namespace {

constexpr wchar_t kAgent[] = L"Korvana Setup";
constexpr std::uint32_t kTransferBytes = 0x10000;
// Every download fetches anew and leaves nothing in the user's WinINet cache: a retry
// after a damaged download must not be served the same bytes from the cache, and an
// installer of hundreds of megabytes has no business there.
constexpr std::uint32_t kUrlFlags = win::INTERNET_FLAG_RELOAD | win::INTERNET_FLAG_NO_CACHE_WRITE;

constexpr wchar_t kPatchKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KorvPatches";
constexpr wchar_t kPatchSubKey[] = L"SCHANNEL";
constexpr wchar_t kPatchValue[] = L"Patch Dll";
constexpr char kPatchEntry[] = "KorvDllPatch";

// Streams the response body into `file`; false when a write fails or a stop is
// requested. A failed read ends the transfer like the end of the data: the file is
// kept, and a truncated installer then fails its signature check.
bool Transfer(Platform& platform, InternetToken request, FileToken file, const StopRequest& stop) {
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kTransferBytes]);
  for (;;) {
    if (stop) return false;
    std::uint32_t read = 0;
    if (!platform.network.ReadData(request, buffer.get(), kTransferBytes, &read) || read == 0)
      return true;
    if (stop) return false;
    if (!platform.files.WriteFile(file, buffer.get(), read)) return false;
  }
}

}  // namespace

bool& SchannelPatchOnceFlag() {
  static bool done = false;
  return done;
}

void ApplySchannelPatch(Platform& platform, bool& schannelPatchDone) {
  if (schannelPatchDone) return;
  schannelPatchDone = true;  // once per process, whatever follows

  RegistryKey patches(platform.registry);
  if (platform.registry.OpenKey(RegistryRoot::LocalMachine, kPatchKey, win::KEY_QUERY_VALUE,
                                patches.put()) != 0)
    return;
  RegistryKey schannel(platform.registry);
  if (platform.registry.OpenSubKey(patches.get(), kPatchSubKey, win::KEY_QUERY_VALUE,
                                   schannel.put()) != 0)
    return;
  // Only a text names a library, and never one that may have been cut short: a cut
  // name could name another library.
  const Read<RegistryText> value = platform.registry.QueryText(schannel.get(), kPatchValue);
  if (!value.ok) return;
  std::wstring library = value.value.text;
  if (value.value.expandable) {
    const Read<std::wstring> expanded = platform.environment.Expand(library);
    if (!expanded.ok) return;
    library = expanded.value;
  }
  // A ".." part could climb out of System32 (or of any folder a full path names).
  if (library.empty() || HasParentPart(library)) return;
  if (platform.system.IsModuleLoaded(library)) return;
  // Anything but a full path is taken from System32 only, like every library this
  // program loads: never from the executable's folder or the current directory.
  if (!IsFullPath(library)) {
    const Read<std::wstring> system = platform.files.GetSystemDirectory();
    if (!system.ok || system.value.empty()) return;
    library = system.value + L"\\" + library;
  }
  LibraryToken module = platform.libraries.LoadLibrary(library);
  if (!IsOpen(module)) return;
  std::optional<std::int32_t> result = platform.libraries.CallExport(module, kPatchEntry);
  // A patch that reports failure is unloaded; one that worked, or a library without
  // the entry, stays for the rest of the process.
  if (result.has_value() && *result == 0) platform.libraries.FreeLibrary(module);
}

bool DownloadBrowserInstaller(Platform& platform, const std::wstring& url, const std::wstring& folder,
                              const StopRequest& stop, bool& schannelPatchDone,
                              std::wstring& created) {
  ApplySchannelPatch(platform, schannelPatchDone);

  InternetHandle session(platform.network,
                         platform.network.OpenSession(kAgent, win::INTERNET_OPEN_TYPE_PRECONFIG));
  if (!session || stop) return false;
  InternetHandle request(platform.network, platform.network.OpenUrl(session.get(), url, kUrlFlags));
  if (!request || stop) return false;

  const Read<std::wstring> header =
      platform.network.QueryHeader(request.get(), win::HTTP_QUERY_CONTENT_DISPOSITION);
  if (!header.ok) return false;
  std::optional<std::wstring> name = ScanAttachmentFileName(header.value.data(), header.value.size());
  // Only a plain name: a server must not choose where on this machine we write.
  if (!name || !IsPlainFileName(*name)) return false;

  std::wstring path = folder;
  if (path.empty() || path.back() != L'\\') path += L'\\';
  path += *name;
  // Written alone (no sharing) and closed before anyone reads it: Windows starts no
  // program from a file that is open for writing. Until the caller holds it again,
  // only administrators and SYSTEM can open it, by the folder's rights.
  FileHandle file(platform.files,
                  platform.files.CreateFile(path, win::GENERIC_WRITE, 0, win::CREATE_NEW,
                                            win::FILE_ATTRIBUTE_NORMAL));
  if (!file) return false;
  created = path;
  if (!Transfer(platform, request.get(), file.get(), stop)) return false;
  file.reset();
  return true;
}

}  // namespace korvana
