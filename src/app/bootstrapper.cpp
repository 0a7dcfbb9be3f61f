#include "app/bootstrapper.h"

namespace korvana {

std::uint32_t RunBootstrapper(Platform&, const std::wstring&) { return 120; }

}  // namespace korvana
