// Runs a fuzz target without libFuzzer: seeded random inputs and mutations of the target's
// seeds, for a bounded number of inputs and time. Same seed, same inputs. Files named on the
// command line (say, what libFuzzer found) are run once each instead.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);
std::vector<std::string> FuzzSeeds();

namespace {

std::string Mutate(std::string s, std::mt19937 &random, const std::vector<std::string> &seeds) {
    auto pick = [&](std::size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    const int edits = 1 + static_cast<int>(pick(8));
    for (int e = 0; e < edits; ++e) {
        switch (pick(6)) {
        case 0: // flip a byte
            if (!s.empty())
                s[pick(s.size())] = static_cast<char>(random());
            break;
        case 1: // insert a byte
            s.insert(s.begin() + static_cast<std::ptrdiff_t>(pick(s.size() + 1)),
                     static_cast<char>(random()));
            break;
        case 2: // delete a run
            if (!s.empty()) {
                const std::size_t at = pick(s.size());
                s.erase(at, pick(16) + 1);
            }
            break;
        case 3: // splice in part of another seed
            if (!seeds.empty()) {
                const std::string &other = seeds[pick(seeds.size())];
                if (!other.empty()) {
                    const std::size_t from = pick(other.size());
                    s.insert(pick(s.size() + 1), other.substr(from, pick(64) + 1));
                }
            }
            break;
        case 4: // repeat a run
            if (!s.empty()) {
                const std::size_t at = pick(s.size());
                s.insert(at, s.substr(at, pick(32) + 1));
            }
            break;
        default: // an interesting byte
        {
            // Bytes the readers split on: frame marks, line ends, separators.
            static const char interesting[] = {0,      1,    2,    3,   '\x5A', '\xA5', '\x80',
                                               '\xFF', '\n', '\r', 'S', '~',    '0',    '$',
                                               ',',    '*',  '=',  '[', ']',    ' ',    '\t'};
            if (!s.empty())
                s[pick(s.size())] = interesting[pick(sizeof interesting)];
            break;
        }
        }
    }
    return s;
}

} // namespace

int main(int argc, char **argv) {
    long runs = 20000;
    double maxSeconds = 20;
    std::uint32_t seed = 12345;
    std::vector<std::string> replay;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (hasValue && std::strcmp(argv[i], "--runs") == 0)
            runs = std::atol(argv[++i]);
        else if (hasValue && std::strcmp(argv[i], "--max-seconds") == 0)
            maxSeconds = std::atof(argv[++i]);
        else if (hasValue && std::strcmp(argv[i], "--seed") == 0)
            seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        else
            replay.emplace_back(argv[i]);
    }
    for (const std::string &name : replay) {
        std::ifstream in(name, std::ios::binary);
        const std::string input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::printf("%s: %zu bytes\n", name.c_str(), input.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(input.data()), input.size());
    }
    if (!replay.empty())
        return 0;
    const std::vector<std::string> seeds = FuzzSeeds();
    std::mt19937 random(seed);
    const auto start = std::chrono::steady_clock::now();
    long done = 0;
    for (; done < runs; ++done) {
        std::string input;
        if (done < static_cast<long>(seeds.size())) {
            input = seeds[static_cast<std::size_t>(done)];
        } else if (seeds.empty() || random() % 8 == 0) {
            input.resize(random() % 600);
            for (char &c : input)
                c = static_cast<char>(random());
        } else {
            input = Mutate(seeds[random() % seeds.size()], random, seeds);
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(input.data()), input.size());
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > maxSeconds)
            break;
    }
    std::printf("%ld inputs, seed %u\n", done, seed);
    return 0;
}
