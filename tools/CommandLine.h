// The `brevander` command line: render, params, response, analyze and demo.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Runs one command; answers the exit status. Results go to `out`, errors (one
// line each) and progress to `err`. `interactive` allows a progress bar on `err`.
int runBrevander(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool interactive = false);
