#include "redb/error.h"

namespace redb {

std::string Error::to_string() const {
    switch (kind) {
        case ErrorKind::Io:
            return "I/O error: " + text + (os_code != 0 ? " (os error " + std::to_string(os_code) + ")" : "");
        case ErrorKind::AlreadyOpen:
            return "Database already open. Cannot acquire lock.";
        case ErrorKind::Corrupted:
            return "DB corrupted: " + text;
        default:
            return text;
    }
}

}  // namespace redb
