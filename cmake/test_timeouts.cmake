# Every ctest entry has a time limit (seconds), so that a test that hangs fails the run instead
# of stopping it. Several times the longest runs measured, never a test of speed: the fast
# entries take up to 39 s (svc_tests under Wine), the interop ones up to 217 s (redb_tests_interop
# under Wine, 8 cores all busy with parallel builds; 41-60 s natively). The sanitizers' Debug
# build runs far slower (redb_tests_interop 686-730 s, core_tests 32 s) and gets four times as long.
if(SNV_SANITIZE)
  set(SNV_TEST_TIMEOUT 1200)
  set(SNV_INTEROP_TEST_TIMEOUT 4800)
else()
  set(SNV_TEST_TIMEOUT 300)
  set(SNV_INTEROP_TEST_TIMEOUT 1200)
endif()
# scripts/demo's check builds the product from nothing (48 s on an idle machine), without
# sanitizers in either case.
set(SNV_DEMO_TEST_TIMEOUT 1200)
