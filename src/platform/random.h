#pragma once

// Random bytes from the operating system's generator, fit for values an
// attacker must not guess (the ids of network queries).

#include <cstddef>

namespace platform {

// Fills `data` with `size` random bytes. Raises base::Exception when the
// system's generator cannot be used.
void RandomBytes(void* data, size_t size);

}  // namespace platform
