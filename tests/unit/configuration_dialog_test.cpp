// CSP mode's configuration dialog: the preselection, the two panels, the stored
// choice, Cancel and the icon's life.
#include "ui/configuration_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "fake_platform.h"
#include "resources/dialog_ids.h"
#include "resources/text_ids.h"

namespace korvana::testing {
namespace {

const std::vector<int> kOptionsPanel{kRussianButton, kEnglishButton, kKc1Button, kKc2Button,
                                     kKc3Button, kLanguageGroup, kKcGroup};
const std::vector<int> kWelcomePanel{kWelcomeGroup, kWelcomeText};

struct Configuration {
  FakePlatform fake;
  SetupOptions options;
  ConfigurationDialog logic{fake.platform(), options};
  FakeDialog dialog{logic};

  // The dialog as the template creates it: the options panel hidden.
  Configuration() {
    for (int id : kOptionsPanel) dialog.hidden.insert(id);
    dialog.texts[kOptionsButton] = L"Опции";
  }
  // The window goes before its logic, as under DialogBoxParamW.
  ~Configuration() { dialog.Send(0x0002); }  // WM_DESTROY
  // An auto radio button: checking one unchecks the others of its group.
  void Choose(int id) {
    const bool language = id == kRussianButton || id == kEnglishButton;
    for (int other : language ? std::vector<int>{kRussianButton, kEnglishButton}
                              : std::vector<int>{kKc1Button, kKc2Button, kKc3Button})
      dialog.Check(other, other == id);
    EXPECT_FALSE(dialog.Press(id));  // its own click is left to the default
  }
  // Every control of `shown` visible, every one of `hidden` not, and the button's text.
  void ExpectPanels(const std::vector<int>& shown, const std::vector<int>& hidden,
                    const std::wstring& buttonText) {
    for (int id : shown) EXPECT_TRUE(dialog.IsVisible(id)) << id;
    for (int id : hidden) EXPECT_FALSE(dialog.IsVisible(id)) << id;
    EXPECT_EQ(dialog.texts[kOptionsButton], buttonText);
  }
};

TEST(ConfigurationDialog, PreselectsTheLanguageByTheInterfaceAndKc1) {
  const struct {
    std::uint16_t uiLanguage;
    int checked;
  } cases[] = {{0x0419, kRussianButton}, {0x0409, kEnglishButton}, {0x0819, kEnglishButton},
               {0x0000, kEnglishButton}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.uiLanguage);
    Configuration m;
    m.fake.system.uiLanguage = c.uiLanguage;
    EXPECT_TRUE(m.dialog.Init());
    EXPECT_EQ(m.dialog.checked, (std::set<int>{c.checked, kKc1Button}));
    EXPECT_EQ(m.dialog.icons, std::vector<std::uint16_t>{100});
    EXPECT_EQ(m.dialog.iconSize, 32);
    EXPECT_EQ(m.dialog.iconsSet, std::vector<IconToken>{IconToken{0x1C0}});
  }
}

TEST(ConfigurationDialog, PanelsSwapByTheButtonsTextAndNextStoresOneOfEach) {
  const struct {
    const char* name;
    const wchar_t* kcFromCommandLine;
    std::function<void(Configuration&)> act;
    const wchar_t* kcLevel;
    const wchar_t* lang;
  } cases[] = {
      {"Next at once", L"", [](Configuration&) {}, L"kc1", L"rus"},
      {"options shown, then Next", L"", [](Configuration& m) {
         m.dialog.Press(kOptionsButton);
         m.ExpectPanels(kOptionsPanel, kWelcomePanel, L"Скрыть");
       }, L"kc1", L"rus"},
      {"KC3 and English, back to the welcome panel", L"", [](Configuration& m) {
         m.dialog.Press(kOptionsButton);
         m.Choose(kKc3Button);
         m.Choose(kEnglishButton);
         m.dialog.Press(kOptionsButton);
         m.ExpectPanels(kWelcomePanel, kOptionsPanel, L"Опции");
       }, L"kc3", L"eng"},
      {"KC2 after -KC on the command line", L"KC", [](Configuration& m) {
         m.dialog.Press(kOptionsButton);
         m.Choose(kKc2Button);
       }, L"KCkc2", L"rus"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Configuration m;
    m.options.kcLevel = c.kcFromCommandLine;
    m.dialog.Init();
    c.act(m);
    EXPECT_TRUE(m.dialog.Press(kNextButton));
    EXPECT_EQ(m.dialog.endedWith, std::optional<std::intptr_t>(0));
    EXPECT_EQ(m.options.kcLevel, c.kcLevel);
    EXPECT_EQ(m.options.lang, c.lang);
  }
}

TEST(ConfigurationDialog, CancelEndsTheRunAndStoresNothing) {
  Configuration m;
  m.dialog.Init();
  m.dialog.Press(kOptionsButton);
  EXPECT_TRUE(m.dialog.Press(2));  // the button, Esc and the close box all come as IDCANCEL
  EXPECT_TRUE(m.logic.cancelled());
  EXPECT_EQ(m.dialog.endedWith, std::optional<std::intptr_t>(0));
  EXPECT_TRUE(m.options.kcLevel.empty() && m.options.lang.empty());
}

TEST(ConfigurationDialog, TheIconIsDestroyedWithTheWindowOnlyWhenOneWasLoaded) {
  for (bool loads : {true, false}) {
    Configuration m;
    m.dialog.iconLoads = loads;
    m.dialog.Init();
    EXPECT_EQ(m.dialog.iconsSet.size(), 1u);  // even a missing icon is set
    EXPECT_FALSE(m.dialog.Send(0x0002));      // WM_DESTROY
    EXPECT_EQ(m.dialog.iconsDestroyed,
              loads ? std::vector<IconToken>{IconToken{0x1C0}} : std::vector<IconToken>{});
  }
}

}  // namespace
}  // namespace korvana::testing
