// Command-line entry: parses the arguments, runs a batch or prints usage or
// version, and returns the process exit code.
#pragma once

namespace quill {

int runCommandLine(int argc, char** argv);

}  // namespace quill
