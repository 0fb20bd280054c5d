// libFuzzer builds only: before the run starts, the target's seeds join the first corpus folder
// named on the command line, so libFuzzer starts from the same inputs as the driver.
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

std::vector<std::string> FuzzSeeds();

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    for (int i = 1; i < *argc; ++i) {
        const std::filesystem::path folder = (*argv)[i];
        if (folder.string().starts_with("-"))
            continue;
        std::error_code error;
        if (!std::filesystem::is_directory(folder, error))
            break; // files to replay: no corpus
        const std::vector<std::string> seeds = FuzzSeeds();
        for (std::size_t n = 0; n < seeds.size(); ++n)
            std::ofstream(folder / ("seed-" + std::to_string(n)), std::ios::binary)
                .write(seeds[n].data(), static_cast<std::streamsize>(seeds[n].size()));
        break;
    }
    return 0;
}
