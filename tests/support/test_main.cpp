// Test programs start the run-time as process_entry would, run their tests
// inside it, and release it at the end.
#include <gtest/gtest.h>

#include "runtime/core/core.h"
#ifdef TEST_WITH_WINDOWS
#include "runtime/controls/controls.h"
#define DEFAULT_FONTS build_default_fonts
#else
#define DEFAULT_FONTS nullptr
#endif

static int32_t unused_entry(HINSTANCE, uint32_t, const wchar_t*, int32_t) { return 0; }

static const program_image test_program = {unused_entry, OPTION_BUILD_DEFAULT_FONTS, DEFAULT_FONTS,
                                           {nullptr, 0}, {nullptr, 0}};

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    start_runtime(test_program);
    int result;
    {
        activation frame;  // the tests run as one application procedure
        result = RUN_ALL_TESTS();
    }
    stop_runtime();
    return result;
}
