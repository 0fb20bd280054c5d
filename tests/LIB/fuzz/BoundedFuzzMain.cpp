// Runs the fuzz entry without libFuzzer: over the seed inputs and a fixed number of mutations
// of them, with a fixed random seed, so any compiler (and the sanitizer build) runs it in ctest.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char **argv) {
    std::vector<std::string> seeds{"", "D", "SerialLoad 1.0 COM1 KTR557\r\nEND",
                                   " 0x16, 0x55, 0xAA, 0x02,\n"};
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::mt19937 random(12345);
    const char interesting[] = {
        'D', ' ', ',', '0', 'x', '\n', '\0', 0x16, 0x17, 0x55, static_cast<char>(0xAA)};
    long runs = 0;
    for (const std::string &seed : seeds) {
        for (int round = 0; round < 4000; ++round) {
            std::string input = seed;
            const int edits = 1 + static_cast<int>(random() % 8);
            for (int e = 0; e < edits; ++e) {
                const std::size_t at = input.empty() ? 0 : random() % input.size();
                switch (random() % 4) {
                case 0:
                    input.insert(at, 1, interesting[random() % sizeof interesting]);
                    break;
                case 1:
                    input.insert(at, 1, static_cast<char>(random()));
                    break;
                case 2:
                    if (!input.empty())
                        input.erase(at, 1 + random() % 16);
                    break;
                default:
                    input.insert(at, input.substr(at, random() % 64));
                    break;
                }
            }
            if (input.size() > 4096)
                input.resize(4096);
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(input.data()), input.size());
            ++runs;
        }
    }
    std::printf("%ld inputs\n", runs);
    return 0;
}
