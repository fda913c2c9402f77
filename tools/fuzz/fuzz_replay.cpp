// The fuzz targets as plain programs: each file named (or each file of each
// folder named) is given to the target once, as libFuzzer gives it a
// corpus. With --reach the program fails unless at least one input got
// through the reader's checks, so a target whose seeds no longer reach its
// reader is seen.
#include "tools/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    bool reach = false;
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--reach")
            reach = true;
        else if (std::filesystem::is_directory(arg))
            std::copy(std::filesystem::directory_iterator(arg), std::filesystem::directory_iterator(),
                std::back_inserter(inputs));
        else
            inputs.emplace_back(arg);
    }
    std::sort(inputs.begin(), inputs.end());
    for (const std::filesystem::path &input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs, %d reached the reader\n", inputs.size(), FuzzReached());
    if (inputs.empty() || (reach && FuzzReached() == 0)) {
        std::fprintf(stderr, "no input reached the reader\n");
        return 1;
    }
    return 0;
}
