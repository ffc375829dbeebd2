// The machine's optical drives as the CD add-on numbers them: 0.. in the order libcdio
// lists them, each with a drive letter (drive 0 is D:, drive 1 is E:, ...), so that track
// file names such as "D:\Track01.cda" reach a drive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace aubadine::basscd {

struct Drive {
    std::string device;       // e.g. /dev/sr0
    std::string description;  // "vendor model revision", or the device name
    uint32_t letter;          // 0 = A:, 1 = B:, ...
};

inline constexpr uint32_t kFirstLetter = 3;  // D:
inline constexpr size_t kMaxDrives = 23;     // D: .. Z:

// Listed once, on first use; thread-safe.
const std::vector<Drive>& drives();

}  // namespace aubadine::basscd
