#include "Drives.h"

#include "CBoundary.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace aubadine::basscd {
namespace {

ImageKind imageKindOf(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".cue") return ImageKind::Cue;
    if (ext == ".toc") return ImageKind::Toc;
    if (ext == ".nrg") return ImageKind::Nrg;
    return ImageKind::None;
}

void listOpticalDrives(std::vector<Drive>& found) {
    char** devices = cdio_get_devices(DRIVER_DEVICE);
    for (char** d = devices; d && *d && found.size() < kMaxDrives; ++d) {
        Drive drive{*d, *d, kFirstLetter + static_cast<uint32_t>(found.size())};
        if (CdIo_t* cdio = cdio_open(*d, DRIVER_DEVICE)) {
            cdio_hwinfo_t hw{};
            if (cdio_get_hwinfo(cdio, &hw)) {
                std::string text;
                for (const char* part : {hw.psz_vendor, hw.psz_model, hw.psz_revision}) {
                    std::string p(part);
                    while (!p.empty() && p.back() == ' ') p.pop_back();
                    if (p.empty()) continue;
                    if (!text.empty()) text += ' ';
                    text += p;
                }
                if (!text.empty()) drive.description = text;
            }
            cdio_destroy(cdio);
        }
        found.push_back(std::move(drive));
    }
    if (devices) cdio_free_device_list(devices);
}

void listImages(std::vector<Drive>& found) {
    const char* folder = std::getenv(kImageFolderVariable);
    if (!folder || !*folder) return;
    std::vector<std::filesystem::path> images;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (imageKindOf(it->path()) != ImageKind::None && it->is_regular_file(ec)) images.push_back(it->path());
    std::sort(images.begin(), images.end());
    for (const auto& path : images) {
        if (found.size() >= kMaxDrives) break;
        Drive drive{path.string(), path.filename().string(), kFirstLetter + static_cast<uint32_t>(found.size()),
                    imageKindOf(path)};
        found.push_back(std::move(drive));
    }
}

}  // namespace

const std::vector<Drive>& drives() {
    static const std::vector<Drive> list = [] {
        // libcdio's default log handler ends the whole process on an error-level message
        // (an image that is gone or damaged); its messages go nowhere instead, and the
        // calls report through their error codes.
        cdio_log_set_handler([](cdio_log_level_t, const char*) {});
        std::vector<Drive> found;
        listOpticalDrives(found);
        listImages(found);
        return found;
    }();
    return list;
}

const Drive& driveAt(uint32_t drive) {
    const auto& list = drives();
    if (drive >= list.size()) aubadine::bass::fail(BASS_ERROR_DEVICE);
    return list[drive];
}

int driveWithLetter(uint32_t letter) {
    const auto& list = drives();
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].letter == letter) return static_cast<int>(i);
    return -1;
}

}  // namespace aubadine::basscd
