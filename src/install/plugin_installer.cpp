#include "install/plugin_installer.h"

#include "run/exit_codes.h"
#include "install/installer_command.h"
#include "packages/package_identity.h"
#include "packages/version_comparison.h"
#include "platform/win_constants.h"
#include "resources/text_ids.h"
#include "support/log_event.h"
#include "support/message_box.h"
#include "support/text.h"

namespace korvana {
namespace {

// Whether to install over the installed product, by the version comparison, the
// "-reinstall" switch and the user's answers; every question about the installed
// product is asked here, none where boxes are kept back. Stop leaves the run's result
// in `result`.
enum class Decision { GoOn, Stop };

// Without an owner window, like the package reads' errors (kPackageErrorLook).
constexpr BoxLook kUpdateQuestionLook{kQuestionBox, text::kUpdateCaption, Owner::None};
constexpr BoxLook kReinstallQuestionLook{kQuestionBox, text::kUpdateCaption};

Decision DecideOnInstalled(Platform& platform, const Boxes& boxes, const VersionFindings& found,
                           bool reinstall, Status& result) {
  switch (found.comparison) {
    case VersionComparison::PackageNewer:
      if (boxes.KeptBack()) return Decision::GoOn;
      if (boxes.Show(FormatText(platform.texts.LoadText(text::kUpdateQuestion),
                                {found.productName, found.installedVersion, found.productVersion}),
                     kUpdateQuestionLook) != win::IDNO)
        return Decision::GoOn;
      LogEvent(platform, {L"update declined"});
      result = exit_code::kUpdateDeclined;
      return Decision::Stop;
    case VersionComparison::Same:
      if (reinstall) return Decision::GoOn;
      if (boxes.KeptBack()) {
        // Nothing to do: the very version is installed and nobody asked for more.
        result = win::ERROR_SUCCESS;
        return Decision::Stop;
      }
      // A box that could not be shown (0) is no Yes either.
      if (boxes.ShowText(text::kReinstallQuestion, kReinstallQuestionLook) == win::IDYES)
        return Decision::GoOn;
      result = exit_code::kUserDeclined;
      return Decision::Stop;
    case VersionComparison::InstalledNewer:
      // A silent run is the administrator's explicit order: try the installation and
      // let Windows Installer decide.
      if (boxes.KeptBack()) return Decision::GoOn;
      boxes.ShowText(text::kNewerInstalled, {kInfoBox, text::kUpdateCaption});
      result = win::ERROR_PRODUCT_VERSION;
      return Decision::Stop;
  }
  return Decision::GoOn;
}

// The installed product's `property` as Windows Installer reports it, in one call;
// empty when it cannot be read or is longer than a log line needs.
std::wstring ProductInfo(WindowsInstaller& msi, const std::wstring& product, const wchar_t* property) {
  const Read<std::wstring> info = msi.GetProductInfoUpTo(product, property, 255);
  return info.ok ? info.value : std::wstring();
}

// How the step ends for `status`: success goes on to the end of the run; every other
// status ends it with the failure box, but the user's cancel and a newer version,
// which the installer or the user has made known already.
StepOutcome Ended(Status status, const std::wstring& logPath) {
  if (status == 0) return StepOutcome::GoOn();
  if (status == exit_code::kUserDeclined || status == exit_code::kNewerInstalled)
    return StepOutcome::End(status);
  return StepOutcome::Failed(status, text::kPluginFailed, logPath);
}

}  // namespace

StepOutcome InstallPlugin(Platform& platform, PackageLocator& locator, const SetupOptions& options,
                          const Boxes& boxes, const wchar_t* publisher) {
  PluginArguments arguments;
  arguments.userText = options.sivetArgs;
  const std::wstring packagePattern = L"sivetcom" + locator.ArchitecturePattern();

  // No related product, or none readable, simply means a fresh installation: the
  // state query below then does not report the product as installed.
  std::wstring installedCode;
  ReadPackageCode(platform, locator, CodeRequest::RelatedProductCode, installedCode);

  std::wstring newCode;
  Status codeStatus = ReadPackageCode(platform, locator, CodeRequest::OwnProductCode, newCode);
  // Windows Installer reads an undefined property as empty. A package without a
  // ProductCode is not one it can install (Wine's msiexec even crashes on it and
  // leaves us waiting), so it is refused here like a package that cannot be read.
  if (codeStatus == 0 && newCode.empty()) codeStatus = win::ERROR_INSTALL_PACKAGE_INVALID;
  if (codeStatus != 0) {
    boxes.ShowText(text::kProductCodeUnreadable, kErrorLook);
    return Ended(codeStatus, {});
  }

  // Advertised, per-user-elsewhere and unknown products all count as not installed.
  if (platform.msi.QueryProductState(installedCode) != win::INSTALLSTATE_DEFAULT) {
    LogEvent(platform, {L"decision: fresh installation"});
    arguments.properties.Add(L" ADDNPSIVET=1");
  } else {
    VersionFindings found;
    if (const Status compared =
            CompareVersions(platform, locator, installedCode, L"sivetcom*.msi", boxes, found))
      return Ended(compared, {});

    Status result = win::ERROR_SUCCESS;
    if (DecideOnInstalled(platform, boxes, found, options.reinstall, result) == Decision::Stop)
      return result == 0 ? StepOutcome::GoOn() : StepOutcome::End(result);

    DeleteSourceHash(platform, newCode);
    // The same product code means a reinstallation of the same product (same or a
    // rebuilt version); another code means a major upgrade, which needs no reinstall
    // property. Product codes are compared exactly as Windows Installer gave them.
    const bool sameProduct = installedCode == newCode;
    // A plug-in feature the user once left out is brought back.
    if (platform.msi.QueryFeatureState(installedCode, L"NPSIVET") == win::INSTALLSTATE_ABSENT) {
      arguments.properties.Add(sameProduct
                                         ? L" COMPADDLOCAL={316A4D11-D027-4C52-86B6-54D1FBC148E3}"
                                         : L" ADDLOCAL=ALL");
    }
    if (sameProduct) arguments.properties.Add(L" REINSTALL=ALL REINSTALLMODE=vomus");
  }

  std::wstring logPath;
  const Status installed =
      RunPluginInstaller(platform, locator, options, boxes, logPath, installedCode, packagePattern,
                         arguments, publisher);
  if (installed == win::ERROR_SUCCESS) {
    // What is on the machine now, as Windows Installer knows it, for the administrator
    // who reads the log afterwards; the package itself is not opened again.
    LogEvent(platform, {L"installed: ", ProductInfo(platform.msi, newCode, L"InstalledProductName"),
                        L" ", ProductInfo(platform.msi, newCode, L"VersionString")});
  }
  return Ended(installed, logPath);
}

}  // namespace korvana
