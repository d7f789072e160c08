// Settings that tools/test hands to every test program through the environment.
#ifndef VANTREL_TEST_ENV_H
#define VANTREL_TEST_ENV_H

#include <string>

// The value of an environment variable, or "" when it is not set.
std::string TestEnv(const char *name);

// "user/password@dsn" for the private test database.
std::string TestConnectString(void);

#endif
