// Any two version texts, one installed and one in the new package: the scan reads
// exactly what the C library's wide scan of "%lld.%lld.%lld.%lld" reads (the scan the
// program is documented to behave as), and the decision is consistent: a text against
// itself is "same", swapping the two turns "update" into "installed newer" and back,
// and versions whose fields are all in range compare field by field; once both are
// read, nothing is shown.
//
// Input: a flag byte (its lowest bit: boxes kept back), a byte giving the installed text's length, the installed text,
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
#include "packages/version_comparison.h"

namespace {

using korvana::VersionComparison;
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
  VersionComparison comparison = VersionComparison::Same;
  std::size_t boxes = 0;
};

Decided Decide(const std::wstring& installed, const std::wstring& fresh, bool silent) {
  FakePlatform fake;
  fake.AddFolder(L"C:\\setup");
  fake.AddFile(kPackage);
  fake.packages[kPackage].properties = {{L"ProductName", L"Korvana Plugin"},
                                        {L"ProductVersion", fresh}};
  fake.products.push_back({kInstalledCode, L"{UPGRADE}", installed});
  korvana::PackageLocator locator(fake.platform());
  Decided d;
  korvana::VersionFindings found;
  // The caller's starting value; each comparison must be written over it.
  found.comparison = static_cast<VersionComparison>(42);
  const korvana::Status status = korvana::CompareVersions(
      fake.platform(), locator, kInstalledCode, L"sivetcom*.msi",
      korvana::Boxes(fake.platform(), silent), found);
  if (status != 0) {
    // A package without a version (empty up to a null) may be refused as one whose
    // version cannot be read; then the comparison stays as the caller set it.
    Check(fresh.substr(0, fresh.find(L'\0')).empty(),
          "a readable pair of versions compares with status 0");
    Check(found.comparison == static_cast<VersionComparison>(42), "a failure leaves the comparison");
    d.failed = true;
  } else {
    d.comparison = found.comparison;
    Check(d.comparison == VersionComparison::PackageNewer || d.comparison == VersionComparison::Same ||
              d.comparison == VersionComparison::InstalledNewer,
          "a comparison is written");
    Check(found.installedVersion == installed.substr(0, installed.find(L'\0')),
          "the installed version text as Windows Installer gave it, up to a null");
  }
  d.boxes = fake.boxes.size();
  Check(fake.openMsiHandles == fake.closedMsiHandles, "the package is closed");
  return d;
}

int Sign(VersionComparison c) {
  return c == VersionComparison::PackageNewer ? 1 : c == VersionComparison::Same ? 0 : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool silent = data[0] & 1;
  const std::size_t rest = size - 2;
  const std::size_t split = data[1] % (rest + 1);
  const std::wstring installed = Text(data + 2, split);
  const std::wstring fresh = Text(data + 2 + split, rest - split);

  CheckScan(installed);
  CheckScan(fresh);

  // The pair as given, the pair swapped, and the installed text against itself.
  const Decided given = Decide(installed, fresh, silent);
  const Decided swapped = Decide(fresh, installed, true);
  const Decided itself = Decide(installed, installed, true);
  if (given.failed || swapped.failed || itself.failed) return 0;
  Check(given.boxes == 0 && swapped.boxes == 0 && itself.boxes == 0,
        "a comparison that reads both versions shows no box");
  Check(itself.comparison == VersionComparison::Same, "a version against itself is the same");
  const VersionComparison outcome = given.comparison;
  Check(Sign(outcome) == -Sign(swapped.comparison), "swapping the versions flips the comparison");

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
