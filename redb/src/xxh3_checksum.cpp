#include "xxh3_checksum.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace redb {

Checksum xxh3_checksum(Bytes data) {
    XXH128_hash_t h = XXH3_128bits(data.data(), data.size());
    return {h.low64, h.high64};
}

}  // namespace redb
