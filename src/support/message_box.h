// The message boxes every step shows: a catalogue text and caption, the style of
// its kind, and nothing at all in a silent run.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace korvana {

// MB_SETFOREGROUND | MB_TOPMOST plus the kind.
inline constexpr std::uint32_t kErrorBox = 0x00050010;     // MB_ICONERROR
inline constexpr std::uint32_t kQuestionBox = 0x00050004;  // MB_YESNO, no icon
inline constexpr std::uint32_t kInfoBox = 0x00050040;      // MB_ICONINFORMATION
inline constexpr std::uint32_t kNoticeBox = 0x00050000;    // OK, no icon

// Shows `text` unless `silent`; the answer, or 0 when nothing was shown.
int ShowBox(Platform& platform, bool silent, Owner owner, const std::wstring& text,
            std::uint16_t captionId, std::uint32_t style);

// Shows catalogue text `textId` unless `silent`; the answer, or 0 when nothing was shown.
int ShowTextBox(Platform& platform, bool silent, Owner owner, std::uint16_t textId,
                std::uint16_t captionId, std::uint32_t style);

}  // namespace korvana
