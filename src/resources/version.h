// The product's version and names, for the VERSIONINFO block of korvana.rc. The
// numbers come from the build (the CMake project version); this header only shapes
// them.
#pragma once

#if !defined(KORVANA_VERSION_MAJOR) || !defined(KORVANA_VERSION_MINOR) || \
    !defined(KORVANA_VERSION_PATCH)
#error "the build passes KORVANA_VERSION_MAJOR, _MINOR and _PATCH"
#endif

#define KORVANA_VERSION_BUILD 0

#define KORVANA_STRINGIZE2(x) #x
#define KORVANA_STRINGIZE(x) KORVANA_STRINGIZE2(x)

// "1.0.0.0": tokens joined without blanks, then made one string literal.
#define KORVANA_VERSION_DOTTED \
  KORVANA_VERSION_MAJOR.KORVANA_VERSION_MINOR.KORVANA_VERSION_PATCH.KORVANA_VERSION_BUILD
#define KORVANA_VERSION_TEXT KORVANA_STRINGIZE(KORVANA_VERSION_DOTTED)
#define KORVANA_VERSION_COMMAS \
  KORVANA_VERSION_MAJOR, KORVANA_VERSION_MINOR, KORVANA_VERSION_PATCH, KORVANA_VERSION_BUILD
