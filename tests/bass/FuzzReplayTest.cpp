// The fuzz target's work over a corpus made here: the generated files whole, cut short and
// with bytes overwritten. Nothing may crash, hang or leak; refusals are fine.
#include "OpenBytes.h"
#include "Offline.h"

namespace aubadine::bass::test {
namespace {

std::vector<std::vector<uint8_t>> corpus() {
    const Files& f = Files::get();
    std::vector<std::vector<uint8_t>> inputs;
    for (const std::string* path : {&f.wav, &f.mp3, &f.ogg, &f.mp2, &f.u8Wav, &f.mod, &f.chainedOgg}) {
        const auto bytes = readFile(*path);
        const uint8_t kind = path == &f.mod ? 1 : 0;
        auto add = [&](std::vector<uint8_t> body) {
            body.insert(body.begin(), kind);
            inputs.push_back(std::move(body));
        };
        add(bytes);
        for (size_t cut : {size_t{4}, size_t{12}, size_t{44}, size_t{200}, bytes.size() / 3, bytes.size() - 1})
            add(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(std::min(cut, bytes.size()))));
        for (uint32_t seed = 1; seed <= 6; ++seed) {
            auto damaged = bytes;
            uint32_t x = seed * 2654435761u;
            for (int n = 0; n < 40; ++n) {
                x = x * 1664525u + 1013904223u;
                damaged[x % damaged.size()] = static_cast<uint8_t>(x >> 24);
            }
            add(std::move(damaged));
        }
    }
    inputs.push_back({0, 'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F});  // an ID3v2 header claiming 256 MB
    inputs.push_back({1, 'M', '.', 'K', '.'});
    return inputs;
}

TEST_F(Offline, FuzzCorpusReplays) {
    for (const auto& input : corpus()) aubadine::bass::fuzz::openBytes(input.data(), input.size());
    SUCCEED();
}

}  // namespace
}  // namespace aubadine::bass::test
