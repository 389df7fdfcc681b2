#pragma once

namespace snv::svc {
// The four runs that the program entry dispatches to live beside this header.
}
