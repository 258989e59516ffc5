#include "testsupport/private_network.h"

#include <gtest/gtest.h>

// The main of a test program whose tests all run in a private network namespace: the tests start
// only once it is entered, and are skipped where the machine does not allow one.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!testsupport::EnterPrivateNetworkOrSaySkipped())
        return testsupport::kSkippedExitCode;
    return RUN_ALL_TESTS();
}
