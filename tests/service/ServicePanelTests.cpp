#include "service/ServicePanel.h"

#include <gtest/gtest.h>

using namespace cv;

TEST(ServiceButtons, StateTable) {
    struct {
        const char* what;
        int32_t state;
        bool canStart;
        int32_t kernel;
        TServiceButtons expected;
    } cases[] = {
        {"stopped, automatic or manual", 1, true, 0, {true, false, false}},
        {"stopped, disabled", 1, false, 0, {false, false, false}},
        {"stopped, disabled, kernel processes left", 1, false, 2, {false, false, true}},
        {"stopped, manual, kernel processes left", 1, true, 1, {true, false, true}},
        {"running", 4, true, 0, {false, true, true}},
        {"running with kernel processes", 4, true, 5, {false, true, true}},
        {"start pending", 2, true, 0, {false, false, false}},
        {"stop pending with kernel processes", 3, true, 3, {false, false, true}},
        {"unknown", 0, false, 0, {false, false, false}},
        {"unknown with kernel processes", 0, false, 1, {false, false, true}},
    };
    for (auto& c : cases)
        EXPECT_EQ(ComputeServiceButtons(c.state, c.canStart, c.kernel), c.expected) << c.what;
}
