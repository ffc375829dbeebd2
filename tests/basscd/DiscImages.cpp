#include "DiscImages.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace aubadine::bass::test {

Pcm sectorTone(double hz, size_t sectors, double amplitude) {
    return sine(hz, static_cast<double>(sectors * 588) / 44100.0, 44100, 2, amplitude);
}

void writeCueImage(const std::string& folder, const std::string& name, const std::vector<ImageTrack>& tracks,
                   size_t binBytes, const std::string& catalog) {
    std::vector<uint8_t> bin;
    std::string cue;
    if (!catalog.empty()) cue += "CATALOG " + catalog + "\n";
    cue += "FILE \"" + name + ".bin\" BINARY\n";
    int number = 1;
    for (const auto& t : tracks) {
        const size_t sector = bin.size() / 2352;
        char index[64];
        std::snprintf(index, sizeof index, "    INDEX 01 %02zu:%02zu:%02zu\n", sector / 4500, sector / 75 % 60, sector % 75);
        char head[64];
        std::snprintf(head, sizeof head, "  TRACK %02d %s\n", number++, t.audio ? "AUDIO" : "MODE1/2352");
        cue += head;
        cue += index;
        if (t.audio) {
            const auto* p = reinterpret_cast<const uint8_t*>(t.pcm.samples.data());
            bin.insert(bin.end(), p, p + t.pcm.samples.size() * 2);
        } else {
            for (size_t i = 0; i < t.dataSectors * 2352; ++i) bin.push_back(static_cast<uint8_t>(i * 7));
        }
    }
    if (binBytes) bin.resize(binBytes);
    writeFile(folder + "/" + name + ".bin", bin);
    std::ofstream(folder + "/" + name + ".cue") << cue;
}

}  // namespace aubadine::bass::test
