// The text every setup.exe carries as a resource, so that setupkit can tell the
// project's stub from any other Windows program. A plain #define, since the
// resource compiler reads this header too. Change it only with the payload
// format: setupkit refuses stubs and installers without it.
#pragma once

#define SETUP_STUB_MARKER "setupkit stub: LZMA payload behind the image, format 1"
#define SETUP_STUB_MARKER_RESOURCE 2
