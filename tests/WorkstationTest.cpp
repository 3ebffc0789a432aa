#include "platform/Workstation.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <optional>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

TEST(Workstation, ComputerNameIsReported) {
    EXPECT_FALSE(platform::computerName().trimmed().isEmpty());
}

#ifndef _WIN32
TEST(Workstation, LoginNameNeedsNeitherTerminalNorEnvironment) {
    // Started from a desktop menu there is no controlling terminal and USER may be missing; the
    // account of the process still names the user.
    if (!getpwuid(geteuid()))
        GTEST_SKIP() << "the process runs under an account without a passwd entry";
    const QByteArray saved = qgetenv("USER");
    const bool hadUser = qEnvironmentVariableIsSet("USER");
    qunsetenv("USER");
    const std::optional<QString> name = platform::loginName();
    qputenv("USER", "someone-else");
    const std::optional<QString> withForeignUser = platform::loginName();
    if (hadUser)
        qputenv("USER", saved);
    else
        qunsetenv("USER");

    ASSERT_TRUE(name.has_value());
    EXPECT_FALSE(name->isEmpty());
    // The account wins over what the environment claims.
    EXPECT_EQ(withForeignUser, name);
}
#endif
