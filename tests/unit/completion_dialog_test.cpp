// The completion dialog: its text and boxes, OK with each choice, the browser
// worker's progress in its label, and Cancel.
#include "ui/completion_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "resources/dialog_ids.h"

namespace korvana {
namespace {

using testing::FakeDialog;
using testing::FakePlatform;

constexpr wchar_t kUrl[] = L"https://download.test/download/yandex-browser";
const std::wstring kInstaller = std::wstring(testing::kDownloadFolder) + L"\\Yandex.exe";

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
    if (browser == "service" || browser == "both") m.services.existing.insert(L"YandexBrowserService");
    if (browser.rfind("key", 0) == 0 || browser == "both")
      m.registry.keys.insert(L"HKCU\\SOFTWARE\\Yandex\\YandexBrowser\\Session");
    m.services.managerFails = browser == "key, no manager";
    FakeDialog& d = m.Open();
    EXPECT_EQ(d.texts[kCompletionMessage], Text(c.text));
    EXPECT_EQ(d.IsChecked(kRestartBox), c.restartBox);
    EXPECT_EQ(d.IsChecked(kBrowserBox), c.browserBox);
    EXPECT_TRUE(d.IsEnabled(kBrowserBox));
    EXPECT_EQ(d.icons, std::vector<std::uint16_t>{100});
    EXPECT_EQ(d.broughtToFront, 1);
    // The service is asked first; the registry only when it is not there.
    EXPECT_EQ(m.Count("RegOpenKeyEx"), browser == "service" || browser == "both" ? 0 : 1);
    for (std::uint32_t access : m.services.accesses) EXPECT_EQ(access, 4u);
    EXPECT_TRUE(m.openHandles.empty());
    EXPECT_EQ(m.registry.openKeys, 0);
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
    m.threads.startFails = !c.threadStarts;
    FakeDialog& d = m.Open();
    d.Check(kBrowserBox, c.browserBox);
    d.Check(kRestartBox, c.restartBox);
    // Only a worker that cannot start leaves the message unhandled.
    EXPECT_EQ(d.Press(1), !(c.browserBox && !c.threadStarts));
    EXPECT_EQ(d.endedWith.has_value(), c.ended);
    EXPECT_EQ(d.endedWith.value_or(0), 0);
    EXPECT_EQ(m.threads.started.size(), c.workerStarted ? 1u : 0u);
    // The restart is the run's to make once the dialog has closed.
    EXPECT_TRUE(m.processes.exitWindowsCalls.empty());
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
      {"download failure", [](Completion& m) { m.network.contentDisposition.reset(); }, 126, false},
      {"signature failure", [](Completion& m) { m.trust.results[kInstaller] = 1; }, 127, false},
      {"installer failure", [](Completion& m) { m.processes.onRun = [](const std::wstring&) { return Status{1}; }; },
       132, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Completion m;
    c.arrange(m);
    FakeDialog& d = m.Open();
    d.Check(kRestartBox, true);
    d.Press(1);
    ASSERT_FALSE(m.threads.started.empty());
    m.RunLastThread(d);
    EXPECT_EQ(m.Label(), Text(c.label));
    EXPECT_EQ(d.endedWith.has_value(), c.closed);
    // Closing by itself chooses the restart when the box says so; a failure waits for
    // the user.
    EXPECT_EQ(m.logic->choice(),
              c.closed ? CompletionChoice::Restart : CompletionChoice::Unanswered);
    if (c.closed) {
      EXPECT_EQ(m.threads.waits, std::vector<std::uint32_t>{0xFFFFFFFF});
      EXPECT_TRUE(m.openHandles.empty());
      continue;
    }
    EXPECT_TRUE(d.IsEnabled(kBrowserBox));
    EXPECT_TRUE(d.IsEnabled(1));
    EXPECT_TRUE(d.IsChecked(kBrowserBox));
    // OK again collects the ended worker and starts over from the download.
    d.Press(1);
    EXPECT_EQ(m.threads.waits, std::vector<std::uint32_t>{0xFFFFFFFF});
    EXPECT_EQ(m.threads.started.size(), 2u);
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
    m.threads.endsInTime = endsInTime;
    FakeDialog& d = m.Open();
    d.Check(kRestartBox, true);
    d.Press(1);
    d.Send(WM_BROWSER_STEP);
    EXPECT_TRUE(d.Press(2));  // IDCANCEL: Esc or the close box
    EXPECT_EQ(d.endedWith, std::optional<std::intptr_t>(0));
    EXPECT_EQ(m.threads.waits, std::vector<std::uint32_t>{100});
    EXPECT_EQ(m.OpenCount("thread"), 0);
    EXPECT_EQ(m.logic->choice(), CompletionChoice::Unanswered);  // no restart on Cancel
    // The worker, still running, finds the stop request: no installer, no message.
    std::size_t postedBefore = m.ui.posted.size();
    m.threads.started.back()->Run();
    EXPECT_EQ(m.ui.posted.size(), postedBefore);
    EXPECT_TRUE(m.processes.commandLines.empty());
    // And what a worker might still have queued changes nothing.
    d.Send(WM_BROWSER_FAILED);
    d.Press(1);
    EXPECT_EQ(m.Label(), Text(115));
    EXPECT_EQ(m.threads.started.size(), 1u);
  }
}

}  // namespace
}  // namespace korvana
