// Writes the demo firmware image: a recognisable header, then bytes that differ on every page
// so that a misplaced or stale page shows in a verify.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_sample_image OUTPUT BYTES\n");
        return 1;
    }
    const auto size = static_cast<std::size_t>(std::strtoull(argv[2], nullptr, 0));
    std::vector<std::uint8_t> image(size);
    std::uint32_t x = 0x2545F491u;
    for (auto& b : image) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    const char header[] = "TARNWICK SAMPLE FIRMWARE";
    std::memcpy(image.data(), header, std::min(size, sizeof header));
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || std::fwrite(image.data(), 1, size, out) != size ||
        std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
