// Reads the test harness's environment.
#include "test_env.h"

#include <cstdlib>

std::string TestEnv(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string TestConnectString(void)
{
    return TestEnv("VANTREL_DB_USER") + "/" + TestEnv("VANTREL_DB_PASSWORD") + "@" + TestEnv("VANTREL_DSN");
}
