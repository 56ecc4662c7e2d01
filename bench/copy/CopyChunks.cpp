// bench-copy-chunks CHUNK_BYTES FROM TO: copies FROM to TO as a backup is
// made (temporary file, flush, rename), telling progress after every chunk,
// and prints how many times it was told. With a chunk of 1 GiB a 1 GiB file
// goes in one kernel call, which is what the chunks are measured against.

#include <cstdio>
#include <string>

#include "platform/Platform.h"

using namespace tsumugiya::platform;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: bench-copy-chunks CHUNK_BYTES FROM TO\n", stderr);
        return 2;
    }
    CopyProgress progress;
    progress.chunkBytes = std::stoull(argv[1]);
    unsigned long long told = 0;
    progress.advanced = [&told](std::uint64_t, std::uint64_t) { ++told; };
    IoError error;
    if (!CopyFileAtomically(PathFromUtf8(argv[2]), PathFromUtf8(argv[3]), Overwrite::Allow, false,
                            error, &progress)) {
        std::fprintf(stderr, "%s: %s\n", Utf8Of(error.file).c_str(), error.cause.c_str());
        return 1;
    }
    std::printf("%llu\n", told);
    return 0;
}
