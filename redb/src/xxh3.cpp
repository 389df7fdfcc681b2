#define XXH_INLINE_ALL
#include <xxhash.h>

#include "le_bytes.h"

namespace redb::detail {

Checksum checksum_of(ByteView data) {
    XXH128_hash_t h = XXH3_128bits_withSeed(data.data(), data.size(), 0);
    return {h.low64, h.high64};
}

}  // namespace redb::detail
