// The dialogs' templates (141 and 40110) in the built executable, read as the dialog
// manager reads it: an extended template, its font, and each control.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "win32/win32_test_support.h"

namespace korvana::win32 {
namespace {

// A name that is either an ordinal (0xFFFF, then the number) or a null-terminated text.
struct NameOrOrdinal {
  WORD ordinal = 0;  // 0 when a text
  std::wstring text;
};

// A position and size in dialog units, as both the dialog and each control store them.
struct Box {
  short x = 0, y = 0, cx = 0, cy = 0;
};
static_assert(sizeof(Box) == 8, "read as one piece");

struct ControlTemplate {
  DWORD exStyle = 0;
  DWORD style = 0;
  Box box;
  DWORD id = 0;
  NameOrOrdinal windowClass;
  NameOrOrdinal title;
};

struct DialogTemplate {
  WORD version = 0, signature = 0;
  DWORD exStyle = 0;
  DWORD style = 0;
  Box box;
  NameOrOrdinal menu, windowClass;
  std::wstring caption;
  WORD pointSize = 0, weight = 0;
  BYTE italic = 0, charset = 0;
  std::wstring typeface;
  std::vector<ControlTemplate> controls;
};

// Reads a DLGTEMPLATEEX; any read past the end marks the reader failed.
class TemplateReader {
 public:
  TemplateReader(const BYTE* data, std::size_t size) : data_(data), size_(size) {}

  bool failed() const { return failed_; }

  template <typename T>
  T Read() {
    T value{};
    if (pos_ + sizeof(T) > size_) {
      failed_ = true;
      return value;
    }
    std::memcpy(&value, data_ + pos_, sizeof(T));
    pos_ += sizeof(T);
    return value;
  }

  std::wstring ReadText() {
    std::wstring text;
    for (WCHAR c = Read<WCHAR>(); c != 0 && !failed_; c = Read<WCHAR>()) text += c;
    return text;
  }

  NameOrOrdinal ReadNameOrOrdinal() {
    NameOrOrdinal name;
    const WCHAR first = Read<WCHAR>();
    if (first == 0xFFFF) {
      name.ordinal = Read<WORD>();
    } else if (first != 0) {
      name.text = first + ReadText();
    }
    return name;
  }

  // Each control starts on a DWORD boundary from the template's start.
  void AlignToDword() { pos_ = (pos_ + 3) & ~static_cast<std::size_t>(3); }

  void Skip(std::size_t bytes) {
    if (pos_ + bytes > size_) failed_ = true;
    pos_ += bytes;
  }

 private:
  const BYTE* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

DialogTemplate ParseDialogTemplate(const std::string& bytes, bool* ok) {
  TemplateReader reader(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
  DialogTemplate dialog;
  dialog.version = reader.Read<WORD>();
  dialog.signature = reader.Read<WORD>();
  reader.Read<DWORD>();  // help ID
  dialog.exStyle = reader.Read<DWORD>();
  dialog.style = reader.Read<DWORD>();
  const WORD count = reader.Read<WORD>();
  dialog.box = reader.Read<Box>();
  dialog.menu = reader.ReadNameOrOrdinal();
  dialog.windowClass = reader.ReadNameOrOrdinal();
  dialog.caption = reader.ReadText();
  if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
    dialog.pointSize = reader.Read<WORD>();
    dialog.weight = reader.Read<WORD>();
    dialog.italic = reader.Read<BYTE>();
    dialog.charset = reader.Read<BYTE>();
    dialog.typeface = reader.ReadText();
  }
  for (WORD i = 0; i < count && !reader.failed(); ++i) {
    reader.AlignToDword();
    ControlTemplate control;
    reader.Read<DWORD>();  // help ID
    control.exStyle = reader.Read<DWORD>();
    control.style = reader.Read<DWORD>();
    control.box = reader.Read<Box>();
    control.id = reader.Read<DWORD>();
    control.windowClass = reader.ReadNameOrOrdinal();
    control.title = reader.ReadNameOrOrdinal();
    reader.Skip(reader.Read<WORD>());  // creation data
    dialog.controls.push_back(control);
  }
  *ok = !reader.failed();
  return dialog;
}

constexpr WORD kButtonClass = 0x0080;
constexpr WORD kStaticClass = 0x0082;
constexpr DWORD kChild = WS_CHILD;
constexpr DWORD kChildVisible = WS_CHILD | WS_VISIBLE;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER |
                               DS_SETFOREGROUND | DS_SHELLFONT;

struct ExpectedControl {
  DWORD id;
  WORD windowClass;
  DWORD style;
  short x, y, cx, cy;
  const wchar_t* text;
};

struct ExpectedDialog {
  const char* name;  // the test's name
  WORD id;
  DWORD style, exStyle;
  short cx, cy;
  const wchar_t* caption;
  std::vector<ExpectedControl> controls;  // in template order, which is the tab order
};

const ExpectedDialog kDialogs[] = {
    {"Configuration", 141, kDialogStyle, WS_EX_WINDOWEDGE, 204, 143, L"CSPSetup",
     {
         // "Далее" is the default button. The options panel (language, KC level and
         // their frames) starts hidden; each row of radio buttons opens a group.
         {140, kButtonClass, kChildVisible | BS_DEFPUSHBUTTON | WS_TABSTOP, 90, 122, 50, 14,
          L"Далее"},
         {IDCANCEL, kButtonClass, kChildVisible | BS_PUSHBUTTON | WS_TABSTOP, 147, 122, 50, 14,
          L"Отмена"},
         {1006, kButtonClass, kChild | BS_AUTORADIOBUTTON | WS_GROUP, 12, 20, 42, 8, L"Русский"},
         {1007, kButtonClass, kChild | BS_AUTORADIOBUTTON, 12, 32, 42, 8, L"English"},
         {1008, kButtonClass, kChild | BS_AUTORADIOBUTTON | WS_GROUP, 14, 69, 30, 8, L"KC1"},
         {1009, kButtonClass, kChild | BS_AUTORADIOBUTTON, 14, 82, 30, 8, L"KC2"},
         {1010, kButtonClass, kChild | BS_AUTORADIOBUTTON, 14, 94, 30, 8, L"KC3"},
         {1012, kButtonClass, kChild | BS_GROUPBOX, 6, 6, 191, 44, L"Язык установки:"},
         {1013, kButtonClass, kChild | BS_GROUPBOX, 6, 55, 191, 54, L"Уровень безопасности:"},
         {1011, kButtonClass, kChildVisible | BS_GROUPBOX, 6, 6, 191, 103,
          L"Корвана CSP — электронная подпись"},
         {1015, kButtonClass, kChildVisible | BS_PUSHBUTTON | WS_TABSTOP, 7, 122, 50, 14,
          L"Опции"},
         {1014, kStaticClass, kChildVisible | SS_LEFT | WS_GROUP, 15, 28, 174, 74,
          L"www.korvana.example\n"
          L"\n"
          L"Благодарим за выбор Корвана CSP.\n"
          L"Для продолжения установки нажимте \"Далее\",\n"
          L"для установки специфических настроек - \"Опции\".\n"
          L"Если вы не знаете, что выбирать, нажмите \"Далее\"."},
     }},
    {"Completion", 40110, kDialogStyle, 0, 309, 76, L"Установка Корвана",
     {
         // OK is a plain push button, not the default one, and there is no Cancel.
         {41028, kStaticClass, kChildVisible | SS_LEFT | WS_GROUP, 7, 7, 295, 36,
          L"Корвана ЭЦП Browser plug-in и CSP успешно установлены.\n"
          L"Для корректной работы может потребоваться перезапустить браузер."},
         {41029, kButtonClass, kChildVisible | BS_AUTOCHECKBOX | WS_TABSTOP, 7, 50, 197, 8,
          L"Установить Яндекс Браузер для работы по ГОСТ-TLS"},
         {41027, kButtonClass, kChildVisible | BS_AUTOCHECKBOX | WS_TABSTOP, 7, 61, 197, 8,
          L"Перезагрузить компьютер"},
         {IDOK, kButtonClass, kChildVisible | BS_PUSHBUTTON | WS_TABSTOP, 253, 56, 50, 14, L"OK"},
     }},
};

class DialogTemplateTest
    : public testing::BuiltExecutableTest<::testing::TestWithParam<ExpectedDialog>> {};

TEST_P(DialogTemplateTest, MatchesTheLayoutControlByControl) {
  const ExpectedDialog& want = GetParam();
  const std::string bytes =
      ResourceBytes(RT_DIALOG, want.id, MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA));
  ASSERT_FALSE(bytes.empty()) << "no Russian dialog " << want.id;
  bool ok = false;
  const DialogTemplate dialog = ParseDialogTemplate(bytes, &ok);
  ASSERT_TRUE(ok) << "the template ends early";

  EXPECT_EQ(dialog.version, 1);
  EXPECT_EQ(dialog.signature, 0xFFFF);  // an extended template
  EXPECT_EQ(dialog.style, want.style) << std::hex << dialog.style;
  EXPECT_EQ(dialog.exStyle, want.exStyle) << std::hex << dialog.exStyle;
  EXPECT_EQ(dialog.box.x, 0);
  EXPECT_EQ(dialog.box.y, 0);
  EXPECT_EQ(dialog.box.cx, want.cx);
  EXPECT_EQ(dialog.box.cy, want.cy);
  EXPECT_EQ(dialog.menu.ordinal, 0);
  EXPECT_EQ(dialog.menu.text, L"");
  EXPECT_EQ(dialog.windowClass.text, L"");
  EXPECT_EQ(dialog.caption, want.caption);
  // Both in the shell's dialog font, at its usual size and weight.
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ(dialog.weight, 400);
  EXPECT_EQ(dialog.italic, 0);
  EXPECT_EQ(dialog.charset, DEFAULT_CHARSET);
  EXPECT_EQ(dialog.typeface, L"MS Shell Dlg");

  ASSERT_EQ(dialog.controls.size(), want.controls.size()) << "no control more or less";
  for (std::size_t i = 0; i < want.controls.size(); ++i) {
    const ControlTemplate& control = dialog.controls[i];
    const ExpectedControl& wanted = want.controls[i];
    SCOPED_TRACE(wanted.id);
    EXPECT_EQ(control.id, wanted.id);
    EXPECT_EQ(control.windowClass.ordinal, wanted.windowClass);
    EXPECT_EQ(control.style, wanted.style) << std::hex << control.style;
    EXPECT_EQ(control.exStyle, 0u);
    EXPECT_EQ(control.box.x, wanted.x);
    EXPECT_EQ(control.box.y, wanted.y);
    EXPECT_EQ(control.box.cx, wanted.cx);
    EXPECT_EQ(control.box.cy, wanted.cy);
    EXPECT_EQ(control.title.ordinal, 0);
    EXPECT_EQ(control.title.text, wanted.text);
  }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogTemplateTest, ::testing::ValuesIn(kDialogs),
                         [](const ::testing::TestParamInfo<ExpectedDialog>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace korvana::win32
