// The message boxes every step shows: a catalogue text and caption, the style of
// its kind, and nothing at all in a silent run.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "platform/win_constants.h"
#include "run/exit_codes.h"

namespace korvana {

// Every box comes to the front and stays above other windows; the kind adds its
// buttons and icon.
inline constexpr std::uint32_t kBoxInFront = win::MB_SETFOREGROUND | win::MB_TOPMOST;
inline constexpr std::uint32_t kErrorBox = kBoxInFront | win::MB_OK | win::MB_ICONERROR;
inline constexpr std::uint32_t kQuestionBox = kBoxInFront | win::MB_YESNO;  // no icon
inline constexpr std::uint32_t kInfoBox = kBoxInFront | win::MB_OK | win::MB_ICONINFORMATION;
inline constexpr std::uint32_t kNoticeBox = kBoxInFront | win::MB_OK;  // no icon

// Shows `text` unless `silent`; the answer, or 0 when nothing was shown.
int ShowBox(Platform& platform, bool silent, Owner owner, const std::wstring& text,
            std::uint16_t captionId, std::uint32_t style);

// Shows catalogue text `textId` unless `silent`; the answer, or 0 when nothing was shown.
int ShowTextBox(Platform& platform, bool silent, Owner owner, std::uint16_t textId,
                std::uint16_t captionId, std::uint32_t style);

// The failure box of a step that ended the run, when it asks for one: its text,
// ": <code>." and a line feed, then "Install log: <path>" when that log exists.
void ShowFailureBox(Platform& platform, bool silent, const StepOutcome& outcome,
                    std::uint16_t captionId);

}  // namespace korvana
