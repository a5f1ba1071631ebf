#pragma once

#include <cstdint>

// The lookup's one seam. Real: tool/mpr_win.cc; fake, for the unit tests and the fuzzer:
// testing/fake_platform.cc.

// WNetGetConnectionA as the lookup relies on it: 0 means `remote_name` now holds the
// zero-terminated remote name; any other value means there is none. Anything that cannot
// reach the real call (mpr.dll missing, say) answers non-zero. The size the call may write
// back is of no use: there is no second try.
std::uint32_t wnet_get_connection(const char* local_name, char* remote_name, std::uint32_t size);
