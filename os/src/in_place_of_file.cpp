#include "in_place_of_file.h"

#include <string>

namespace snv::os {

namespace {

std::string text_for(Found found) {
    const char* what = "something other than a file";
    switch (found) {
        case Found::folder:
            what = "a folder";
            break;
        case Found::fifo:
            what = "a FIFO";
            break;
        // Wine opens a FIFO planted on the host as a pipe: the two cannot be told apart.
        case Found::pipe_or_fifo:
            what = "a pipe or FIFO";
            break;
        case Found::socket:
            what = "a socket";
            break;
        case Found::device:
            what = "a device";
            break;
        case Found::link:
            what = "a link";
            break;
        case Found::second_name:
            what = "a file with more than one name";
            break;
        case Found::other:
            break;
    }
    return std::string(what) + " in place of the file";
}

}  // namespace

Error in_place_of_the_file(Found found) {
    return Error::own(text_for(found));
}

Error in_place_of_the_file(Found found, std::uint32_t os_code) {
    return Error::os(os_code, text_for(found));
}

}  // namespace snv::os
