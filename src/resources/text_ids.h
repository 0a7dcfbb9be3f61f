// Catalogue IDs by name.
#pragma once

#include <cstdint>

namespace korvana {

// Catalogue IDs by name, for readability at the call sites: text::kCspFailed and so
// on, each named beside its text in messages.inc.
namespace text {
#define KORVANA_TEXT(id, name, text) inline constexpr std::uint16_t name = id;
#include "resources/messages.inc"
#undef KORVANA_TEXT
}  // namespace text

}  // namespace korvana
