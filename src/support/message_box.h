// The run's message boxes: a catalogue text and caption, the style of its kind, each
// one logged with its answer, and none at all in a run that shows no boxes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "platform/win_constants.h"
#include "resources/text_ids.h"
#include "run/exit_codes.h"

namespace korvana {

// Every box comes to the front and stays above other windows; the kind adds its
// buttons and icon.
inline constexpr std::uint32_t kBoxInFront = win::MB_SETFOREGROUND | win::MB_TOPMOST;
inline constexpr std::uint32_t kErrorBox = kBoxInFront | win::MB_OK | win::MB_ICONERROR;
inline constexpr std::uint32_t kQuestionBox = kBoxInFront | win::MB_YESNO;  // no icon
inline constexpr std::uint32_t kInfoBox = kBoxInFront | win::MB_OK | win::MB_ICONINFORMATION;
inline constexpr std::uint32_t kNoticeBox = kBoxInFront | win::MB_OK;  // no icon

// What a box looks like besides its text.
struct BoxLook {
  std::uint32_t style;
  std::uint16_t captionId = 0;       // 0: the run's caption, the plug-in's or the CSP's
  Owner owner = Owner::OwnerWindow;  // the hidden window created at the start
};

// An error of a step, under "Ошибка".
inline constexpr BoxLook kErrorLook{kErrorBox, text::kErrorCaption};
// The package reads' errors and the update question have no owner window, as the
// product has always shown them: a box without an owner is a top-level window with a
// taskbar button of its own, where the user can find it again, while a box of the
// hidden owner window has none. The run's other boxes keep that owner.
inline constexpr BoxLook kPackageErrorLook{kErrorBox, text::kErrorCaption, Owner::None};

// Built once per run: whether its boxes are kept back (-silent, or a session nobody
// can see) and the run's caption.
class Boxes {
 public:
  explicit Boxes(Platform& platform, bool keptBack = false,
                 std::uint16_t runCaption = text::kPluginCaption)
      : platform_(&platform), keptBack_(keptBack), runCaption_(runCaption) {}

  bool KeptBack() const { return keptBack_; }

  // Shows `text`; the answer, or 0 when nothing was shown.
  int Show(const std::wstring& text, const BoxLook& look) const;
  // Shows catalogue text `textId`; the answer, or 0 when nothing was shown.
  int ShowText(std::uint16_t textId, const BoxLook& look) const;
  // The failure box of a step that ended the run, when it asks for one, under the
  // run's caption: its text, ": <code>." and a line feed, then "Install log: <path>"
  // when that log exists.
  void ShowFailure(const StepOutcome& outcome) const;

 private:
  int ShowLogged(const std::wstring& text, const std::wstring& label, const BoxLook& look) const;

  Platform* platform_;
  bool keptBack_;
  std::uint16_t runCaption_;
};

}  // namespace korvana
