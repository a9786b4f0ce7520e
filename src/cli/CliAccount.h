// `vormla-cli account set|show|clear`: the member's own account file.
#pragma once

#include <cstdio>
#include <string>

#include "cli/CliOptions.h"

namespace vormla::cli {

// Runs one account action on the account file at path. `set` reads the login ID
// and the password from in: asked for on a terminal (the password without echo,
// twice), else as two lines. The login ID goes to out (show); messages to err.
// Exit codes: 0 done, 1 `show` without an account, 2 anything refused or failed.
int AccountCommand(AccountAction action, const std::string& path, int in, std::FILE* out, std::FILE* err);

}  // namespace vormla::cli
