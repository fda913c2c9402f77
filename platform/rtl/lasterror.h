#pragma once

#include <cstdint>

// The calling thread's last error code, as the machine's functions leave it
// when they fail. Successful calls do not clear it.
uint32_t GetLastError();
void SetLastError(uint32_t code);
