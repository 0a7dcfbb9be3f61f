#include "platform/win32/win32_platform.h"

namespace korvana::win32 {

Win32Platform::Win32Platform(HINSTANCE instance)
    : ui_(instance),
      texts_(instance),
      platform_{ui_,       texts_,    system_,    commandLine_, files_,   environment_,
                registry_, msi_,      processes_, power_,       clock_,   output_,
                services_, threads_,  network_,   trust_,       libraries_, log_} {}

}  // namespace korvana::win32
