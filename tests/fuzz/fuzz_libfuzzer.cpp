// The libFuzzer target: clang -fsanitize=fuzzer (configure with -DLOBRANA_FUZZ=ON).

#include "fuzzentry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return LobranaFuzzOne(data, size);
}
