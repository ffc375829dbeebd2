// The host protocol's frame parser, which reads packets from any program the user runs.
#pragma once

#include <cstddef>
#include <cstdint>

// Parses data as one received command frame and encodes a notification; never fails,
// only crashes on a fault.
void FuzzVisFrame(const uint8_t* data, size_t size);
