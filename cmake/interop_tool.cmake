# The redb interop tool (tools/redb-interop): the real redb library, which the interop tests ask
# about the files our code writes. scripts/build-interop builds it into build/redb-interop.
# snv_require_interop_tool(TOOL_VAR SWITCH) stops the configuration when the file that TOOL_VAR
# names is missing, saying how to build it or to turn the tests off with SWITCH.
function(snv_require_interop_tool tool_var switch)
  if(EXISTS "${${tool_var}}" AND NOT IS_DIRECTORY "${${tool_var}}")
    return()
  endif()
  set(hint "")
  if(switch STREQUAL "SNV_INTEROP_TESTS")
    set(hint " (SNV_INTEROP_TESTS=OFF scripts/test)")
  endif()
  message(FATAL_ERROR
    "The redb interop tool is missing: ${${tool_var}}\n"
    "The interop tests run it to check our files against the real redb library.\n"
    "To go on, do one of these:\n"
    "  - build it: scripts/setup, or scripts/build-interop alone (Rust 1.85 or newer); where the\n"
    "    crate registry cannot be reached, first set SNV_REDB_SOURCE to a folder holding the\n"
    "    redb 4.2.0 crate's source;\n"
    "  - or name a built one: -D${tool_var}=PATH;\n"
    "  - or leave the interop tests out: -D${switch}=OFF${hint}.")
endfunction()
