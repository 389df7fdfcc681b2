#pragma once

#include "os/sessions.h"

namespace snv::engine {

// Whether somebody is signed in: an active or disconnected session whose user name can be
// queried and is not empty. A failed enumeration counts as nobody; a failed query skips that
// one session; the scan ends at the first signed-in user.
bool any_user_signed_in(os::Sessions& sessions);

}  // namespace snv::engine
