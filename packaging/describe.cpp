// Writes the files a desktop installation needs from the program's own tables,
// so that none of them lists an option, a keyword or a file type by hand:
//   describe man OUTPUT             the manual page quillmere(1)
//   describe completion OUTPUT      the bash completion
//   describe mime OUTPUT            MIME types for accepted extensions that
//                                   shared-mime-info does not know
//   describe fill TEMPLATE OUTPUT   the template with %MIME_TYPES% replaced by
//                                   every MIME type the program opens, as a
//                                   desktop entry lists them, and %MEDIA_TYPES%
//                                   by the same as AppStream lines
// Exits 1 when an accepted extension has no MIME type below, so a new
// extension cannot ship without one.
#include "app/version.h"
#include "cli/options.h"
#include "settings/vocabularies.h"
#include "engine/formats.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace quill;

// ---- What is read from the option table: the one place to adapt when the
// table's shape changes.

struct DescribedOption {
    std::string name;                // lower case: "--jpg-quality"
    std::string value;               // placeholder, empty for switches
    std::string setting;             // "JPG Quality (Output)", empty when none
    std::vector<std::string> words;  // keywords, lower case
};

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) {
        return static_cast<char>(std::tolower(c));
    });
    return lower;
}

std::string placeholderOf(ValueKind kind)
{
    switch (kind) {
    case ValueKind::Keyword: return "WORD";
    case ValueKind::Integer: return "NUM";
    case ValueKind::Count: return "N";
    case ValueKind::Decimal: return "NUM";
    case ValueKind::Text: return "TEXT";
    case ValueKind::Switch: return "";
    case ValueKind::Profile: return "FILE";
    }
    return "VALUE";
}

std::vector<DescribedOption> tableOptions()
{
    std::vector<DescribedOption> options;
    for (const OptionRow& row : optionTable()) {
        DescribedOption option;
        option.name = lowerCase(row.name);
        option.value = placeholderOf(row.kind);
        if (!row.key.empty())
            option.setting = std::string(row.key) + " (" + std::string(row.group) + ")";
        if (row.kind == ValueKind::Keyword)
            for (const VocabularyWord& word : vocabulary(row.vocabulary))
                if (std::find(option.words.begin(), option.words.end(), lowerCase(word.word)) == option.words.end())
                    option.words.push_back(lowerCase(word.word));
        options.push_back(std::move(option));
    }
    return options;
}

// ---- The options read before the table, with their texts.

struct FixedOption {
    std::string forms;  // as the manual shows them
    std::string words;  // as the completion offers them
    bool takesPath;
    std::string text;
};

const FixedOption kFixedOptions[] = {
    {"-i FILE, --input=FILE", "-i --input=", true,
     "Input: one camera RAW file, a folder (converted with its whole tree), or a list file "
     "(.txt or .lst, one file or folder per line). Without it the window opens."},
    {"-o PATH, --output=PATH", "-o --output=", true, "Output folder; it must exist."},
    {"-c STR, --conversion=STR", "-c --conversion=", false, "Output extension: tiff."},
    {"-q, --quiet", "-q --quiet", false, "Print no status messages."},
    {"-d, --debug", "-d --debug", false, "Print the effective settings and a block of lines per file."},
    {"-p, --pause", "-p --pause", false, "Wait for a key at exit (only on a terminal)."},
    {"-h, -?, --help", "-h --help", false, "Print the usage text and exit (first argument only)."},
    {"-v, --version", "-v --version", false, "Print the version and exit (first argument only)."},
    {"--thumbnail=SIZE INPUT OUTPUT", "--thumbnail=", true,
     "Write the embedded preview of the camera file INPUT, upright and fitted in SIZE x SIZE "
     "pixels, as the PNG file OUTPUT, as file managers ask thumbnailers to; nothing is printed "
     "(first argument only). File managers start quillmere-thumbnailer SIZE INPUT OUTPUT, "
     "which does the same with fewer libraries to load."},
    {"-T FOLDER", "-T", true, "Write the publicity screenshots into FOLDER (first argument only)."},
    {"-U", "-U", false, "Show the uninstall page (first argument only)."},
};

// Option values that name files or folders, so the completion offers paths.
bool takesPath(const DescribedOption& option)
{
    return option.name == "--profile" || option.name == "--wm-image";
}

// ---- MIME types of the accepted extensions, as shared-mime-info names them,
// or as this program defines them when shared-mime-info has none. An
// extension shared-mime-info gives to another kind of file gets no type: a
// glob of ours would turn those files into camera files.

struct ExtensionType {
    const char* extension;
    const char* type;  // empty: left to the type shared-mime-info gives it
    bool ours;         // defined by quillmere.xml
};

const ExtensionType kExtensionTypes[] = {
    {"raw", "image/x-panasonic-rw", false},
    {"raw1", "image/x-quillmere-raw", true},
    {"raw2", "image/x-quillmere-raw", true},
    {"3fr", "image/x-hasselblad-3fr", true},
    {"arw", "image/x-sony-arw", false},
    {"sr2", "image/x-sony-sr2", false},
    {"srf", "image/x-sony-srf", false},
    {"bay", "image/x-casio-bay", true},
    {"bmq", "image/x-nucore-bmq", true},
    {"cap", "", false},  // packet captures
    {"iiq", "image/x-phaseone-iiq", true},
    {"eip", "image/x-phaseone-eip", true},
    {"cine", "image/x-phantom-cine", true},
    {"cr2", "image/x-canon-cr2", false},
    {"crw", "image/x-canon-crw", false},
    {"cs1", "image/x-captureshop-cs1", true},
    {"dc2", "image/x-kodak-dc2", true},
    {"dcr", "image/x-kodak-dcr", false},
    {"drf", "image/x-kodak-drf", true},
    {"dsc", "image/x-kodak-dsc", true},
    {"k25", "image/x-kodak-k25", false},
    {"kc2", "image/x-kodak-kc2", true},
    {"kdc", "image/x-kodak-kdc", false},
    {"dcs", "image/x-kodak-dcs", true},
    {"dng", "image/x-adobe-dng", false},
    {"erf", "image/x-epson-erf", true},
    {"fff", "image/x-imacon-fff", true},
    {"ia", "image/x-sinar-ia", true},
    {"sti", "", false},  // presentation templates
    {"mdc", "image/x-minolta-mdc", true},
    {"mrw", "image/x-minolta-mrw", false},
    {"mef", "image/x-mamiya-mef", true},
    {"mos", "image/x-mamiya-mos", true},
    {"nef", "image/x-nikon-nef", false},
    {"nrw", "image/x-nikon-nrw", false},
    {"orf", "image/x-olympus-orf", false},
    {"pef", "image/x-pentax-pef", false},
    {"ptx", "image/x-pentax-ptx", true},
    {"pxn", "image/x-logitech-pxn", true},
    {"qtk", "image/x-apple-qtk", true},
    {"raf", "image/x-fuji-raf", false},
    {"rdc", "image/x-dfm-rdc", true},
    {"rw2", "image/x-panasonic-rw2", false},
    {"rwz", "image/x-rawzor-rwz", true},
    {"x3f", "image/x-sigma-x3f", false},
    {"ari", "image/x-arri-ari", true},
    {"r3d", "image/x-red-r3d", true},
    {"rwl", "image/x-leica-rwl", true},
};

struct CameraType {
    std::string type;
    std::string comment;
    std::vector<std::string> extensions;
    bool ours = false;
};

// The types in the order of the input extension table; false when an
// accepted extension is missing above.
bool cameraTypes(std::vector<CameraType>& types)
{
    FormatTables formats;
    buildFormatTables(formats);
    bool complete = true;
    for (const InputExtension& input : formats.inputExtensions) {
        if (std::find(formats.inputFormatList.begin(), formats.inputFormatList.end(), input.formatKey) ==
            formats.inputFormatList.end())
            continue;
        const ExtensionType* known = nullptr;
        for (const ExtensionType& entry : kExtensionTypes)
            if (input.extension == entry.extension)
                known = &entry;
        if (known == nullptr) {
            std::cerr << "describe: no MIME type for the accepted extension ." << input.extension << "\n";
            complete = false;
            continue;
        }
        if (*known->type == '\0')
            continue;
        auto same = std::find_if(types.begin(), types.end(), [&](const CameraType& t) {
            return t.type == known->type;
        });
        if (same == types.end()) {
            types.push_back({known->type, input.description, {}, known->ours});
            same = types.end() - 1;
        }
        same->extensions.push_back(input.extension);
    }
    return complete;
}

// ---- Writers.

std::string roff(std::string text)
{
    std::string out;
    for (char c : text) {
        if (c == '-')
            out += "\\-";
        else if (c == '\\')
            out += "\\e";
        else
            out += c;
    }
    if (!out.empty() && (out.front() == '.' || out.front() == '\''))
        out.insert(0, "\\&");
    return out;
}

std::string manualPage()
{
    std::ostringstream page;
    page << ".TH QUILLMERE 1 \"\" \"" << roff(versionString()) << "\" \"User Commands\"\n"
         << ".SH NAME\nquillmere \\- convert camera RAW files into TIFF files in bulk\n"
         << ".SH SYNOPSIS\n.B quillmere\n.RI [ FILE | FOLDER ]...\n.br\n"
         << ".B quillmere \\-i\n.I INPUT\n.RB [ \\-o\n.IR FOLDER ]\n.RI [ OPTION ]...\n.br\n"
         << ".B quillmere \\-\\-thumbnail=\\fISIZE\\fP \\fIINPUT\\fP \\fIOUTPUT\\fP\n"
         << ".SH DESCRIPTION\n"
         << "Started without an input option, " << roff(std::string(kDisplayName))
         << " opens its window; files and folders named on the command line are queued in it "
            "(folders with their whole tree), and when a window is already open they are handed "
            "to that window instead. With \\fB\\-i\\fP it converts from the command line, "
            "several files at once, each in a render process of its own, and never reads the "
            "window's configuration.\n.PP\n"
            "Option names and keywords are matched in any letter case. Numbers are read "
            "leniently: leading digits count, the rest is ignored.\n"
         << ".SH OPTIONS\n";
    for (const FixedOption& option : kFixedOptions)
        page << ".TP\n.B " << roff(option.forms) << "\n" << roff(option.text) << "\n";
    page << ".SH CONVERSION OPTIONS\n"
            "Each sets one conversion setting, named here as the configuration file and the "
            "preferences name it; a profile file (\\fB\\-\\-profile\\fP) sets the same ones by "
            "the same names, upper case, as keys.\n";
    for (const DescribedOption& option : tableOptions()) {
        page << ".TP\n.B " << roff(option.name + (option.value.empty() ? "" : "=" + option.value)) << "\n";
        if (option.name == "--profile")
            page << "Applies the settings of the profile FILE where the option stands.\n";
        else if (option.name == "--shard")
            page << "K/N: converts only the K\\-th of every N queued files.\n";
        else if (!option.setting.empty())
            page << "Sets " << roff(option.setting) << ".\n";
        if (!option.words.empty()) {
            page << "WORD is one of:";
            for (size_t i = 0; i < option.words.size(); ++i)
                page << (i ? ", " : " ") << roff(option.words[i]);
            page << ".\n";
        }
    }
    page << ".SH EXIT STATUS\n"
            ".TP\n.B 0\nEvery queued file was converted; also for \\fB\\-\\-help\\fP, "
            "\\fB\\-\\-version\\fP, a written thumbnail and the window.\n"
            ".TP\n.B 1\nAn argument or check error (the run printed its \"Error:\" line), a run "
            "that could not start, or a thumbnail that could not be written.\n"
            ".TP\n.B 2\nThe run converted fewer files than it queued, or queued none.\n"
         << ".SH FILES\n"
            ".TP\n.I $XDG_CONFIG_HOME/Varnetta/quillmere/config.ini\n"
            "The window's settings, placement and recent output folders (default "
            "\\fI~/.config/Varnetta/quillmere/config.ini\\fP), read at start and written at exit; "
            "the command line never reads or writes it.\n"
            ".TP\n.I $XDG_RUNTIME_DIR/"
         << roff(titleString())
         << ".lock\n"
            "The lock that keeps one window per user, with the socket beside it through which "
            "a second start hands its files to the open window.\n"
            ".TP\n.I FILE.txt, FILE.lst\nList files read as input, one file or folder per line.\n"
            ".TP\n.I PROFILE\nSettings profiles read by \\fB\\-\\-profile\\fP.\n"
            ".TP\n.I OUTPUT/NAME.tiff\n"
            "The converted files, first written to a hidden temporary file beside the final "
            "name and renamed over it only when complete.\n"
            ".TP\n.I /usr/share/doc/quillmere/quillmere.html\nThe user manual, opened by F1.\n"
            ".TP\n.I /usr/share/quillmere/gfx/\nTheme packs.\n"
         << ".SH SEE ALSO\n.BR dcraw (1)\n";
    return page.str();
}

std::string completionScript()
{
    std::vector<std::string> all;
    std::vector<std::string> paths;
    std::map<std::string, std::vector<std::string>> words;
    for (const FixedOption& option : kFixedOptions) {
        std::istringstream forms(option.words);
        for (std::string word; forms >> word;) {
            all.push_back(word);
            if (option.takesPath && word.ends_with('='))
                paths.push_back(word.substr(0, word.size() - 1));
        }
    }
    for (const DescribedOption& option : tableOptions()) {
        all.push_back(option.name + (option.value.empty() ? "" : "="));
        if (takesPath(option))
            paths.push_back(option.name);
        if (!option.words.empty())
            words[option.name] = option.words;
    }
    std::ostringstream script;
    // Readline breaks words at "=", so a value is completed as a word of its
    // own; the option it belongs to is read from the line before the cursor.
    script << "# bash completion for quillmere, made from its option table\n"
              "_quillmere()\n{\n"
              "    local line=${COMP_LINE:0:COMP_POINT}\n"
              "    local token=${line##*[[:space:]]}\n"
              "    local prev=${COMP_WORDS[COMP_CWORD-1]}\n"
              "    [[ $token == *=* ]] || case $prev in\n"
              "        -i|-o|-I|-O|-T|-t) compopt -o filenames; COMPREPLY=($(compgen -f -- \"$token\")); return;;\n"
              "    esac\n"
              "    if [[ $token == --*=* ]]; then\n"
              "        local option=${token%%=*} value=${token#*=}\n"
              "        option=${option,,}\n"
              "        case $option in\n";
    for (const auto& [name, list] : words) {
        script << "            " << name << ") COMPREPLY=($(compgen -W \"";
        for (size_t i = 0; i < list.size(); ++i)
            script << (i ? " " : "") << list[i];
        script << "\" -- \"${value,,}\"));;\n";
    }
    script << "            ";
    for (size_t i = 0; i < paths.size(); ++i)
        script << (i ? "|" : "") << paths[i];
    script << ") compopt -o filenames; COMPREPLY=($(compgen -f -- \"$value\"));;\n"
              "        esac\n"
              "        return\n"
              "    fi\n"
              "    if [[ $token == -* && $line != *--thumbnail=* ]]; then\n"
              "        COMPREPLY=($(compgen -W \"";
    for (size_t i = 0; i < all.size(); ++i)
        script << (i ? " " : "") << all[i];
    script << "\" -- \"$token\"))\n"
              "        [[ ${COMPREPLY[0]} == *= ]] && compopt -o nospace\n"
              "        return\n"
              "    fi\n"
              "    compopt -o filenames\n"
              "    COMPREPLY=($(compgen -f -- \"$token\"))\n"
              "}\n"
              "complete -F _quillmere quillmere\n";
    return script.str();
}

std::string mimePackage(const std::vector<CameraType>& types)
{
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!-- Camera RAW extensions that quillmere converts and shared-mime-info has no type for. -->\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const CameraType& type : types) {
        if (!type.ours)
            continue;
        xml << "  <mime-type type=\"" << type.type << "\">\n"
            << "    <comment>" << type.comment << "</comment>\n"
            << "    <sub-class-of type=\"image/x-dcraw\"/>\n"
            << "    <generic-icon name=\"image-x-generic\"/>\n";
        for (const std::string& extension : type.extensions)
            xml << "    <glob pattern=\"*." << extension << "\"/>\n";
        xml << "  </mime-type>\n";
    }
    xml << "</mime-info>\n";
    return xml.str();
}

std::string mimeTypeList(const std::vector<CameraType>& types)
{
    std::string list = "image/x-dcraw;";
    for (const CameraType& type : types)
        list += type.type + ";";
    return list;
}

bool writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "describe: cannot write " << path << "\n";
        return false;
    }
    return true;
}

bool readFile(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return static_cast<bool>(in);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::vector<CameraType> types;
    if (!cameraTypes(types))
        return 1;
    if (args.size() == 2 && args[0] == "man")
        return writeFile(args[1], manualPage()) ? 0 : 1;
    if (args.size() == 2 && args[0] == "completion")
        return writeFile(args[1], completionScript()) ? 0 : 1;
    if (args.size() == 2 && args[0] == "mime")
        return writeFile(args[1], mimePackage(types)) ? 0 : 1;
    if (args.size() == 3 && args[0] == "fill") {
        std::string text;
        if (!readFile(args[1], text)) {
            std::cerr << "describe: cannot read " << args[1] << "\n";
            return 1;
        }
        std::string mediaTypes;
        for (const CameraType& type : types)
            mediaTypes += "    <mediatype>" + type.type + "</mediatype>\n";
        mediaTypes.pop_back();
        const std::pair<std::string, std::string> markers[] = {{"%MIME_TYPES%", mimeTypeList(types)},
                                                               {"%MEDIA_TYPES%", mediaTypes}};
        for (const auto& [marker, value] : markers)
            for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + value.size()))
                text.replace(at, marker.size(), value);
        return writeFile(args[2], text) ? 0 : 1;
    }
    std::cerr << "usage: describe man|completion|mime OUTPUT | describe fill TEMPLATE OUTPUT\n";
    return 2;
}
