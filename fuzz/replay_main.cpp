// Runs a fuzz target without libFuzzer: once per file named on the command
// line, and once per regular file inside each directory named there.  Exit
// status 0 when every input ran; a finding aborts through the sanitizers.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool runFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return false;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::size_t runs = 0;
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        const fs::path arg(argv[i]);
        if (fs::is_directory(arg, ec)) {
            for (const auto& e : fs::recursive_directory_iterator(arg, ec))
                if (e.is_regular_file() && runFile(e.path()))
                    ++runs;
        } else if (runFile(arg)) {
            ++runs;
        } else {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            status = 1;
        }
    }
    std::printf("%zu inputs run\n", runs);
    return status;
}
