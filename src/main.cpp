// Process entry: the command line decides the mode; window mode comes later.
#include "cli/command_line.h"

int main(int argc, char** argv)
{
    return quill::runCommandLine(argc, argv);
}
