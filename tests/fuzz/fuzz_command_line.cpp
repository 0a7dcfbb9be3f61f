// Any argument list: the parser either fills the options or shows the help and
// ends, and never reads past the end of the list.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line_options.h"
#include "fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Arguments are separated by 0 bytes; each byte becomes one character.
  std::vector<std::wstring> args{L"korvana-setup.exe"};
  std::wstring current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current += static_cast<wchar_t>(data[i]);
    }
  }
  if (!current.empty()) args.push_back(current);

  korvana::testing::FakePlatform fake;
  fake.commandLine.argv = std::optional<std::vector<std::wstring>>(args);
  korvana::SetupOptions options;
  const bool helpShown =
      korvana::ParseCommandLine(fake.platform(), options) != korvana::CommandLineRequest::Run;
  // The parse never shows a box itself: the help is the run's to show.
  if (!fake.ui.boxes.empty()) __builtin_trap();
  if (helpShown) korvana::ShowHelp(fake.platform(), options);
  if (fake.ui.boxes.size() != (helpShown ? 1u : 0u)) __builtin_trap();
  return 0;
}
