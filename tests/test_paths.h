// Folders and programs of the build the tests run in. The values live in one small generated
// file (zentrel_test_paths), not on every test's compile line, so that a checkout in another
// folder compiles the same test objects and finds them in ccache.
#pragma once

namespace zentrel_test_paths {
extern const char* const kTestData;    // tests/data of the checkout
extern const char* const kSharedData;  // the shared data beside the checkout (may be absent)
extern const char* const kSourceDir;   // the checkout
extern const char* const kProgram;     // the zentrel program of this build
extern const char* const kWriteSpy;    // the write spy preloaded by the batch tests
}  // namespace zentrel_test_paths

#define ZENTREL_TEST_DATA ::zentrel_test_paths::kTestData
#define ZENTREL_SHARED_DATA ::zentrel_test_paths::kSharedData
#define ZENTREL_SOURCE_DIR ::zentrel_test_paths::kSourceDir
#define ZENTREL_BIN ::zentrel_test_paths::kProgram
#define ZENTREL_WRITE_SPY ::zentrel_test_paths::kWriteSpy
