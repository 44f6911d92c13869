// The thumbnailer file managers start, "quillmere-thumbnailer SIZE INPUT
// OUTPUT": "quillmere --thumbnail=SIZE INPUT OUTPUT" without the window and
// its libraries, since a file manager starts one per file and waits for each.
#include "cli/thumbnail.h"

#include <string>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 1;
    return quill::runThumbnailMode({"--thumbnail=" + std::string(argv[1]), argv[2], argv[3]});
}
