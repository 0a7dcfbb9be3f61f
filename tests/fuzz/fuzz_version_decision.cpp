// Any two version texts, one installed and one in the new package: the scan reads
// exactly what the C library's wide scan of "%lld.%lld.%lld.%lld" reads (the scan the
// program is documented to behave as), and the decision is consistent: a text against
// itself is "same", swapping the two turns "update" into "installed newer" and back,
// and versions whose fields are all in range compare field by field. The update
// question comes exactly when the decision is an update and may ask; No ends the run.
//
// Input: a flag byte, a byte giving the installed text's length, the installed text,
// then the new one; one byte a character.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <tuple>

#include "fake_platform.h"
#include "packages/package_locator.h"
#include "packages/version_decision.h"

namespace {

using korvana::VersionOutcome;
using korvana::VersionQuad;
using korvana::testing::FakePlatform;

const std::wstring kPackage = L"C:\\setup\\x64-rus-sivetcom.msi";
const std::wstring kInstalledCode = L"{99999999-8888-7777-6666-555555555555}";

void Check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}

std::wstring Text(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i < size; ++i) text.push_back(static_cast<wchar_t>(data[i]));
  return text;
}

void CheckScan(const std::wstring& text) {
  const VersionQuad v = korvana::ParseVersionQuad(text);
  long long f[4] = {0, 0, 0, 0};
  std::swscanf(text.c_str(), L"%lld.%lld.%lld.%lld", &f[0], &f[1], &f[2], &f[3]);
  Check(v.first == f[0] && v.second == f[1] && v.third == f[2] && v.fourth == f[3],
        "ParseVersionQuad reads as the wide scan does");
}

bool InRange(const VersionQuad& v) {
  return v.first >= 0 && v.first < 32768 && v.second >= 0 && v.second <= 65535 &&
         v.third >= 0 && v.third <= 65535 && v.fourth >= 0 && v.fourth <= 65535;
}

struct Decided {
  bool failed = false;  // a status other than 0
  bool declined = false;  // the user answered No to the update question
  VersionOutcome outcome = VersionOutcome::Update;
  std::size_t boxes = 0;
};

Decided Decide(const std::wstring& installed, const std::wstring& fresh, bool silent,
               bool askUpdate, bool answerNo) {
  FakePlatform fake;
  fake.AddFolder(L"C:\\setup");
  fake.AddFile(kPackage);
  fake.packages[kPackage].properties = {{L"ProductName", L"Korvana Plugin"},
                                        {L"ProductVersion", fresh}};
  fake.products.push_back({kInstalledCode, L"{UPGRADE}", installed});
  if (answerNo) fake.boxAnswers.push_back(7);  // IDNO
  korvana::PackageLocator locator(fake.platform());
  Decided d;
  // The caller's starting value; each outcome must be written over it.
  d.outcome = static_cast<VersionOutcome>(42);
  std::wstring installedVersion;
  {
    const korvana::Status status =
        korvana::DecideVersion(fake.platform(), locator, kInstalledCode, L"sivetcom*.msi", silent,
                               askUpdate, d.outcome, installedVersion);
    if (status != 0) {
      // A package without a version (empty up to a null) may be refused as one whose
      // version cannot be read; then the outcome stays as the caller set it.
      Check(fresh.substr(0, fresh.find(L'\0')).empty(),
            "a readable pair of versions decides with status 0");
      Check(d.outcome == static_cast<VersionOutcome>(42), "a failure leaves the outcome");
      d.failed = true;
    } else {
      Check(d.outcome == VersionOutcome::Update || d.outcome == VersionOutcome::Same ||
                d.outcome == VersionOutcome::InstalledNewer ||
                d.outcome == VersionOutcome::UpdateDeclined,
            "an outcome is written");
      d.declined = d.outcome == VersionOutcome::UpdateDeclined;
      Check(installedVersion == installed.substr(0, installed.find(L'\0')),
            "the installed version text as Windows Installer gave it, up to a null");
    }
  }
  d.boxes = fake.boxes.size();
  Check(fake.openMsiHandles == fake.closedMsiHandles, "the package is closed");
  return d;
}

int Sign(VersionOutcome o) { return static_cast<int>(o); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool silent = data[0] & 1;
  const bool askUpdate = data[0] & 2;
  const bool answerNo = data[0] & 4;
  const std::size_t rest = size - 2;
  const std::size_t split = data[1] % (rest + 1);
  const std::wstring installed = Text(data + 2, split);
  const std::wstring fresh = Text(data + 2 + split, rest - split);

  CheckScan(installed);
  CheckScan(fresh);

  // The pair as given (asked about as the flags say), the pair swapped, and the
  // installed text against itself (both silently, so that each has its plain outcome).
  const Decided asked = Decide(installed, fresh, silent, askUpdate, answerNo);
  const Decided swapped = Decide(fresh, installed, true, askUpdate, false);
  const Decided itself = Decide(installed, installed, true, askUpdate, false);
  if (asked.failed || swapped.failed || itself.failed) return 0;
  Check(swapped.boxes == 0 && itself.boxes == 0, "silent: no box");
  Check(itself.outcome == VersionOutcome::Same, "a version against itself is the same");
  // Only an update is asked about, so a run that No ended was an update.
  const VersionOutcome outcome = asked.declined ? VersionOutcome::Update : asked.outcome;
  Check(Sign(outcome) == -Sign(swapped.outcome), "swapping the versions flips the outcome");

  const bool question = outcome == VersionOutcome::Update && !silent && askUpdate;
  Check(asked.boxes == (question ? 1u : 0u), "the update question only for an update");
  Check(asked.declined == (question && answerNo), "only No to the question ends the run");

  const VersionQuad a = korvana::ParseVersionQuad(installed);
  const VersionQuad b = korvana::ParseVersionQuad(fresh);
  if (InRange(a) && InRange(b)) {
    const auto fieldsA = std::tie(a.first, a.second, a.third, a.fourth);
    const auto fieldsB = std::tie(b.first, b.second, b.third, b.fourth);
    const int byFields = fieldsB > fieldsA ? 1 : fieldsB == fieldsA ? 0 : -1;
    Check(Sign(outcome) == byFields, "in-range versions compare field by field");
  }
  return 0;
}
