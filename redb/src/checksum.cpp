#define XXH_INLINE_ALL
#include <xxhash.h>

#include "bytes.h"

namespace redb::detail {

Checksum checksum_of(ByteView data) {
    XXH128_hash_t h = XXH3_128bits(data.data(), data.size());
    return {h.low64, h.high64};
}

}  // namespace redb::detail
