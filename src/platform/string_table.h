// The catalogue of user texts, by numeric ID. Windows reads the executable's own
// string table; the native build reads the same table compiled in.
#pragma once

#include <cstdint>
#include <string>

namespace korvana {

class MessageCatalog {
 public:
  virtual ~MessageCatalog() = default;
  // The text of entry `id`; empty when there is none.
  virtual std::wstring LoadText(std::uint16_t id) = 0;
};

}  // namespace korvana
