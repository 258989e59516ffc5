#include "support/text/system.h"

#include "support/text/paths.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(SystemTest, ModuleFileNameIsThisTestProgram)
{
    const std::string file = ModuleFileName();
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file.front(), '/');
    EXPECT_EQ(FileNameOf(file), "text_test");
    EXPECT_TRUE(std::filesystem::is_regular_file(file));

    const std::string directory = ModuleDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.back(), '/');
    EXPECT_EQ(JoinPath(directory, "text_test"), file);
}

TEST(SystemTest, CapEffLineDecidesNetAdmin)
{
    struct Case
    {
        const char* status;
        bool expected;
    };
    const Case cases[] = {
        {"Name:\tx\nCapInh:\t0000000000001000\nCapEff:\t0000000000000000\n", false},
        {"CapEff:\t0000000000001000\n", true},
        {"CapEff:\t000001ffffffffff", true},
        {"CapEff:\t0000000000000fff\n", false},
        {"CapEff:\t000000000000F000\n", true},
        {"CapPrm:\t0000000000001000\n", false},
        {"CapEff:\t\n", false},
        {"CapEff:\t00000000000010000000000000000000\n", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StatusGrantsNetAdmin(c.status), c.expected) << c.status;
}

TEST(SystemTest, RootIsAdministrator)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    EXPECT_EQ(IsUserAdministrator(), 1);
}

// Runs `body` in a child that has given up root for an ordinary user id, keeping its permitted
// capabilities; returns the child's exit code, or -1 when the switch was not possible here.
int AsOrdinaryUser(int (*body)())
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (prctl(PR_SET_KEEPCAPS, 1, 0, 0, 0) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(100);
        _exit(body());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 100)
        return -1;
    return WEXITSTATUS(status);
}

// Raises CAP_NET_ADMIN into the effective set (it stays permitted across the user switch).
bool RaiseNetAdmin()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0 || (data[0].permitted & (1u << CAP_NET_ADMIN)) == 0)
        return false;
    data[0].effective |= 1u << CAP_NET_ADMIN;
    return syscall(SYS_capset, &header, data) == 0;
}

TEST(SystemTest, OrdinaryUserIsAdministratorOnlyWithNetAdmin)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to switch users";
    const int plain = AsOrdinaryUser([] { return IsUserAdministrator(); });
    if (plain < 0)
        GTEST_SKIP() << "cannot switch to an ordinary user here";
    EXPECT_EQ(plain, 0);
    const int withCapability = AsOrdinaryUser([] { return RaiseNetAdmin() ? IsUserAdministrator() : 2; });
    EXPECT_EQ(withCapability, 1);
}

TEST(SystemTest, HResultFromWin32)
{
    EXPECT_EQ(HResultFromWin32(5), static_cast<std::int32_t>(0x80070005u));
    EXPECT_EQ(HResultFromWin32(0), 0);
    EXPECT_EQ(HResultFromWin32(-7), -7);
    EXPECT_EQ(HResultFromWin32(INT32_MIN), INT32_MIN);
    EXPECT_EQ(HResultFromWin32(0x12345), static_cast<std::int32_t>(0x80072345u));
}

} // namespace
