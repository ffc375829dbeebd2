#include "Drives.h"

#include <cdio/cdio.h>

namespace aubadine::basscd {

const std::vector<Drive>& drives() {
    static const std::vector<Drive> list = [] {
        std::vector<Drive> found;
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
        return found;
    }();
    return list;
}

}  // namespace aubadine::basscd
