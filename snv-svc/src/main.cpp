#include "program.h"

int main() {
    return snv::svc::program_main();
}
