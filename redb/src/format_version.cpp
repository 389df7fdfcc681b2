#include "redb/format_version.h"
