// The engine's parsers of stream metadata that a network server controls: the StreamTitle
// rule, the Ogg comment list walk of the metadata sync, and the file title of an address.
#pragma once

#include <cstddef>
#include <cstdint>

// Runs every parser on data (any bytes); never fails, only crashes on a fault.
void FuzzStreamMetadata(const uint8_t* data, size_t size);
