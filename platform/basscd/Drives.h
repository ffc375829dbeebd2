// The drives as the CD add-on numbers them: first the machine's optical drives in the order
// libcdio lists them, then one drive for every disc image (CUE/BIN, cdrdao TOC, Nero NRG)
// in the folder named by the environment variable AUBADINE_CD_IMAGES, in file-name order.
// Each has a drive letter (drive 0 is D:, drive 1 is E:, ...), so that track file names
// such as "D:\Track01.cda" reach a drive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace aubadine::basscd {

// The environment variable naming the folder of disc images.
inline constexpr const char* kImageFolderVariable = "AUBADINE_CD_IMAGES";

enum class ImageKind { None, Cue, Toc, Nrg };

struct Drive {
    std::string device;       // /dev/sr0, or the image file's full path
    std::string description;  // "vendor model revision" or the device name; images: the file name
    uint32_t letter;          // 0 = A:, 1 = B:, ...
    ImageKind image = ImageKind::None;
    bool isImage() const { return image != ImageKind::None; }
};

inline constexpr uint32_t kFirstLetter = 3;  // D:
inline constexpr size_t kMaxDrives = 23;     // D: .. Z:

// Listed once, on first use (the image folder is read then); thread-safe.
const std::vector<Drive>& drives();

// The drive of index `drive`; throws Failure(BASS_ERROR_DEVICE) past the last.
const Drive& driveAt(uint32_t drive);

// The index of the drive with that letter (0 = A:), or -1.
int driveWithLetter(uint32_t letter);

}  // namespace aubadine::basscd
