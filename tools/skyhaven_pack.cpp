// skyhaven-pack IN.xml OUT.enc: encrypts a data set's XML with the program's
// key into the container the program downloads and reads.
#include <sodium.h>

#include <cstdio>
#include <exception>

#include "foundation/dataset_crypto.hpp"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: skyhaven-pack IN.xml OUT.enc\n");
        return 2;
    }
    if (sodium_init() < 0) {
        std::fprintf(stderr, "skyhaven-pack: sodium_init failed\n");
        return 1;
    }
    try {
        skh::gf_streamEncryptFile(skh::g_dataSetKey, argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "skyhaven-pack: %s\n", e.what());
        return 1;
    }
    return 0;
}
