#include "ctl/CtlHelp.h"

#include "base/Version.h"

#include <algorithm>
#include <map>
#include <ostream>
#include <set>
#include <sstream>

namespace tunquil::ctl {

namespace {

constexpr const char* kSynopsis = "tunquilctl [--home DIR] COMMAND [ARGS...]";

// Said once, printed by the help and both manual pages: where the database lives.
constexpr const char* kProgramDirectory =
    "The program directory holds the database and Tunquil.ini. It is the --home DIR option, "
    "else the TUNQUIL_HOME variable, else the folder of the executable when it is a portable "
    "copy, else $XDG_DATA_HOME/Tunquil (~/.local/share/Tunquil). A portable copy has a file "
    "named \"portable\" beside the executable, in a folder that belongs to the user and that "
    "neither the group nor others may write to; run as root, Tunquil never takes the folder "
    "of the executable, only --home or TUNQUIL_HOME.";

// What a placeholder of a usage line stands for, for the completion: MIDI files, other files
// by extension, folders, or anything.
struct FileKind {
    std::vector<std::string> extensions; // empty: any file
    bool folders = false;                // folders only
};

const std::map<std::string, FileKind>& Placeholders() {
    static const std::map<std::string, FileKind> kinds = {
        {"FILE", {{"mid", "midi", "rmi", "kar"}}},
        {"PATH", {{"mid", "midi", "rmi", "kar", "zip"}}},
        {"DIR", {{}, true}},
        {"SF2", {{"sf2", "sf3"}}},
        {"OUT.wav", {{"wav"}}},
        {"OUT.zip", {{"zip"}}},
        {"OUT.pdf", {{"pdf"}}},
    };
    return kinds;
}

// The words of a usage without their brackets; `closes` tells which word ended a bracket, so
// that "[--zip] PATH" reads as a flag and an operand, and "[--to ROW]" as an option's value.
std::vector<std::string> Words(const std::string& text, std::vector<bool>* closes = nullptr) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;) {
        bool closing = w.back() == ']';
        w.erase(std::remove_if(w.begin(), w.end(), [](char c) { return c == '[' || c == ']'; }),
                w.end());
        if (w.empty())
            continue;
        words.push_back(w);
        if (closes)
            closes->push_back(closing);
    }
    return words;
}

bool IsOption(const std::string& w) {
    return w.size() > 2 && w.rfind("--", 0) == 0;
}

// What the completion knows of one command, read from its usage.
struct CompletionOf {
    std::vector<std::string> options;
    std::vector<std::string> subcommands;      // "album create|rename|...": the first operand
    std::map<std::string, std::string> values; // option -> its placeholder ("SF2", "a|b|c")
    std::set<std::string> operands;            // the placeholders of the operands
};

CompletionOf ReadUsage(const Command& c) {
    CompletionOf out;
    std::vector<bool> closes;
    std::vector<std::string> w = Words(c.usage, &closes);
    for (std::size_t i = 0; i < w.size(); ++i) {
        if (IsOption(w[i])) {
            const std::string& option = w[i];
            if (std::find(out.options.begin(), out.options.end(), option) == out.options.end())
                out.options.push_back(option);
            if (!closes[i] && i + 1 < w.size() && !IsOption(w[i + 1]) && w[i + 1] != "|") {
                out.values[option] = w[i + 1];
                ++i;
            }
            continue;
        }
        if (w[i] == c.name || w[i] == "|")
            continue;
        // A lower-case word that opens an alternative of the usage is a sub-command.
        bool opensAlternative = i > 0 && (w[i - 1] == c.name || w[i - 1] == "|");
        bool lower =
            std::all_of(w[i].begin(), w[i].end(), [](char ch) { return ch >= 'a' && ch <= 'z'; });
        if (opensAlternative && lower) {
            out.subcommands.push_back(w[i]);
            continue;
        }
        std::string p = w[i];
        if (p.size() > 3 && p.compare(p.size() - 3, 3, "...") == 0)
            p.resize(p.size() - 3);
        out.operands.insert(p);
    }
    for (const OptionHelp& o : c.options) {
        std::string name = Words(o.option).empty() ? o.option : Words(o.option)[0];
        if (std::find(out.options.begin(), out.options.end(), name) == out.options.end())
            out.options.push_back(name);
    }
    return out;
}

// Roff text: a leading dot or quote would start a request, a backslash an escape.
std::string Roff(const std::string& text, bool minusSigns = false) {
    std::string out;
    for (char ch : text) {
        if (ch == '\\')
            out += "\\e";
        else if (ch == '-' && minusSigns)
            out += "\\-";
        else
            out += ch;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out = "\\&" + out;
    return out;
}

// A summary or description as a sentence of the manual.
std::string Sentence(const std::string& text) {
    std::string out = text;
    if (!out.empty() && out[0] >= 'a' && out[0] <= 'z')
        out[0] = static_cast<char>(out[0] - 'a' + 'A');
    return Roff(out) + ".";
}

void ManHeader(std::ostream& os, const std::string& page, const std::string& what) {
    std::string upper = page;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char ch) {
        return static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
    });
    os << ".TH " << upper << " 1 \"\" \"Tunquil " << kVersion << "\" \"User Commands\"\n"
       << ".SH NAME\n"
       << page << " \\- " << what << "\n";
}

void ManFilesAndEnvironment(std::ostream& os) {
    os << ".SH FILES\n"
       << ".TP\n.I $XDG_DATA_HOME/Tunquil/\n"
       << "The program directory of an installed copy.\n"
       << ".PP\n"
       << Roff(kProgramDirectory) << "\n"
       << ".SH ENVIRONMENT\n"
       << ".TP\n.B TUNQUIL_HOME\n"
       << "The program directory, when --home is not given; it counts as --home does.\n"
       << ".TP\n.B XDG_DATA_HOME\n"
       << "The folder under which the program directory of an installed copy lies "
          "(~/.local/share when unset).\n";
}

const char kBesideTheWindow[] =
    "While the Tunquil window runs, the commands that only read the library (list, categories, "
    "artists, albums, verify, export, lyrics, print) work beside it and see every title it has "
    "finished adding. add hands its files to the window, which adds them; the other commands "
    "that change the library, and play, archive and mail, say what to do instead.";

void WriteTunquilctlPage(std::ostream& os) {
    ManHeader(os, "tunquilctl", "the command-line companion of the Tunquil MIDI jukebox");
    os << ".SH SYNOPSIS\n"
       << ".B tunquilctl\n"
       << "[\\fB\\-\\-home\\fR \\fIDIR\\fR] \\fICOMMAND\\fR [\\fIARGS\\fR...]\n"
       << ".SH DESCRIPTION\n"
       << "tunquilctl reads and changes the database of Tunquil, imports and exports its "
          "titles, and plays them, without a window. Titles are named by their keys, which "
          "\\fBtunquilctl list\\fR shows.\n"
       << ".SH OPTIONS\n"
       << ".TP\n\\fB\\-\\-home\\fR \\fIDIR\\fR\n"
       << "Use DIR as the program directory.\n"
       << ".SH COMMANDS\n";
    for (const Command& c : SortedCommands()) {
        std::istringstream lines(c.usage);
        bool first = true;
        for (std::string line; std::getline(lines, line);) {
            std::size_t start = line.find_first_not_of(' ');
            os << (first ? ".TP\n" : ".TQ\n") << "\\fB" << Roff(line.substr(start), true)
               << "\\fR\n";
            first = false;
        }
        os << Sentence(c.summary.empty() ? std::string("(no description)") : c.summary) << "\n";
        if (!c.options.empty()) {
            os << ".RS\n";
            for (const OptionHelp& o : c.options)
                os << ".TP\n\\fB" << Roff(o.option, true) << "\\fR\n"
                   << Sentence(o.description) << "\n";
            os << ".RE\n";
        }
    }
    os << ".TP\n\\fBhelp\\fR [\\fICOMMAND\\fR]\n"
       << "Show the commands, or one command with its options.\n"
       << ".SH BESIDE THE WINDOW\n"
       << kBesideTheWindow << "\n"
       << ".SH EXIT STATUS\n"
       << "0 when the command did all it was asked, 1 when it met problems (a file it could not "
          "read, a title it could not play), 2 for a wrong command line or a database that "
          "cannot be opened.\n";
    ManFilesAndEnvironment(os);
    os << ".SH SEE ALSO\n.BR tunquil (1)\n";
}

void WriteTunquilPage(std::ostream& os) {
    ManHeader(os, "tunquil", "MIDI music manager and jukebox");
    os << ".SH SYNOPSIS\n"
       << ".B tunquil\n"
       << "[\\fB\\-\\-home\\fR \\fIDIR\\fR] [\\fIFILE\\fR...]\n"
       << ".SH DESCRIPTION\n"
       << "Tunquil keeps MIDI tunes in its own database, sorted into categories, albums and "
          "artists, and plays them one after another through a software synthesizer. Only one "
          "copy runs for a user: a second start hands its files to the running one.\n"
       << ".SH OPTIONS\n"
       << ".TP\n\\fB\\-\\-home\\fR \\fIDIR\\fR\n"
       << "Use DIR as the program directory.\n"
       << ".TP\n.I FILE\n"
       << "A MIDI file to play.\n";
    ManFilesAndEnvironment(os);
    os << ".SH SEE ALSO\n.BR tunquilctl (1)\n";
}

std::string ExtensionPattern(const std::vector<std::string>& extensions) {
    std::string pattern;
    for (const std::string& e : extensions) {
        std::string upper = e;
        std::transform(upper.begin(), upper.end(), upper.begin(), [](char ch) {
            return static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
        });
        pattern += (pattern.empty() ? "" : "|") + e + "|" + upper;
    }
    return pattern;
}

// The completion's action for a placeholder: a word list for "a|b|OUT.wav", files by extension.
std::string CompletionAction(const std::string& placeholder) {
    std::vector<std::string> words;
    std::set<std::string> extensions;
    bool anyFile = false, folders = false;
    std::istringstream parts(placeholder);
    for (std::string part; std::getline(parts, part, '|');) {
        auto kind = Placeholders().find(part);
        if (kind != Placeholders().end()) {
            folders = folders || kind->second.folders;
            anyFile = anyFile || (!kind->second.folders && kind->second.extensions.empty());
            extensions.insert(kind->second.extensions.begin(), kind->second.extensions.end());
        } else if (!part.empty() && std::all_of(part.begin(), part.end(), [](char ch) {
                       return (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-';
                   })) {
            words.push_back(part);
        }
    }
    std::string action;
    if (!words.empty()) {
        std::string list;
        for (const std::string& w : words)
            list += (list.empty() ? "" : " ") + w;
        action += "COMPREPLY+=($(compgen -W '" + list + "' -- \"$cur\")); ";
    }
    if (anyFile)
        action += "_tunquilctl_files; ";
    else if (!extensions.empty())
        action += "_tunquilctl_files '" + ExtensionPattern({extensions.begin(), extensions.end()}) +
                  "'; ";
    else if (folders)
        action += "_tunquilctl_folders; ";
    return action;
}

} // namespace

std::vector<Command> SortedCommands() {
    std::vector<Command> sorted = Commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return a.name < b.name; });
    return sorted;
}

void PrintHelp(std::ostream& os) {
    os << "usage: " << kSynopsis << "\n\ncommands:\n";
    for (const Command& c : SortedCommands()) {
        os << "  " << c.usage << "\n";
        if (!c.summary.empty())
            os << "      " << c.summary << "\n";
    }
    os << "  help [COMMAND]\n      show the commands, or one command with its options\n\n"
       << kProgramDirectory << "\n\n"
       << kBesideTheWindow << "\n";
}

bool PrintCommandHelp(std::ostream& os, const std::string& name) {
    for (const Command& c : Commands()) {
        if (c.name != name)
            continue;
        os << "usage: tunquilctl " << c.usage << "\n";
        if (!c.summary.empty())
            os << "\n" << c.summary << ".\n";
        if (!c.options.empty())
            os << "\noptions:\n";
        for (const OptionHelp& o : c.options)
            os << "  " << o.option << "\n      " << o.description << "\n";
        return true;
    }
    return false;
}

bool WriteManPage(std::ostream& os, const std::string& page) {
    if (page == "tunquilctl")
        WriteTunquilctlPage(os);
    else if (page == "tunquil")
        WriteTunquilPage(os);
    else
        return false;
    return true;
}

void WriteBashCompletion(std::ostream& os) {
    std::string names = "help";
    for (const Command& c : SortedCommands())
        names += " " + c.name;
    os << "# bash completion for tunquilctl, written by `tunquilctl help --bash-completion`.\n"
          "\n"
          "# Files with one of the extensions (an extglob alternation), or any file; folders too,\n"
          "# to walk into.\n"
          "_tunquilctl_files() {\n"
          "    local IFS=$'\\n' restore\n"
          "    restore=$(shopt -p extglob)\n"
          "    shopt -s extglob\n"
          "    compopt -o filenames 2>/dev/null\n"
          "    if [[ -n $1 ]]; then\n"
          "        COMPREPLY+=($(compgen -d -- \"$cur\"))\n"
          "        COMPREPLY+=($(compgen -f -X \"!*.@($1)\" -- \"$cur\"))\n"
          "    else\n"
          "        COMPREPLY+=($(compgen -f -- \"$cur\"))\n"
          "    fi\n"
          "    eval \"$restore\"\n"
          "}\n"
          "\n"
          "_tunquilctl_folders() {\n"
          "    local IFS=$'\\n'\n"
          "    compopt -o filenames 2>/dev/null\n"
          "    COMPREPLY+=($(compgen -d -- \"$cur\"))\n"
          "}\n"
          "\n"
          "_tunquilctl() {\n"
          "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
          "    local command='' operands=0 i\n"
          "    COMPREPLY=()\n"
          "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
          "        case ${COMP_WORDS[i]} in\n"
          "        --home) ((i++)) ;;\n"
          "        -*) ;;\n"
          "        *) if [[ -z $command ]]; then command=${COMP_WORDS[i]}; else ((operands++)); fi "
          ";;\n"
          "        esac\n"
          "    done\n"
          "    if [[ $prev == --home ]]; then\n"
          "        _tunquilctl_folders\n"
          "        return\n"
          "    fi\n"
          "    if [[ -z $command ]]; then\n"
          "        COMPREPLY=($(compgen -W '--home "
       << names
       << "' -- \"$cur\"))\n"
          "        return\n"
          "    fi\n"
          "    case $command in\n"
          "    help)\n"
          "        COMPREPLY=($(compgen -W '"
       << names.substr(5)
       << "' -- \"$cur\"))\n"
          "        ;;\n";
    for (const Command& c : SortedCommands()) {
        CompletionOf usage = ReadUsage(c);
        std::string options;
        for (const std::string& o : usage.options)
            options += (options.empty() ? "" : " ") + o;
        os << "    " << c.name << ")\n"
           << "        case $prev in\n";
        for (const auto& [option, placeholder] : usage.values) {
            std::string action = CompletionAction(placeholder);
            os << "        " << option << ") " << (action.empty() ? ":; " : action)
               << "return ;;\n";
        }
        os << "        esac\n";
        if (!options.empty())
            os << "        if [[ $cur == -* ]]; then\n"
               << "            COMPREPLY=($(compgen -W '" << options << "' -- \"$cur\"))\n"
               << "            return\n"
               << "        fi\n";
        if (!usage.subcommands.empty()) {
            std::string list;
            for (const std::string& s : usage.subcommands)
                list += (list.empty() ? "" : " ") + s;
            os << "        if ((operands == 0)); then\n"
               << "            COMPREPLY=($(compgen -W '" << list << "' -- \"$cur\"))\n"
               << "            return\n"
               << "        fi\n";
        }
        std::string operands;
        for (const std::string& p : usage.operands)
            operands += (operands.empty() ? "" : "|") + p;
        std::string action = CompletionAction(operands);
        if (!action.empty())
            os << "        " << action << "\n";
        os << "        ;;\n";
    }
    os << "    esac\n"
          "}\n"
          "\n"
          "complete -F _tunquilctl tunquilctl\n";
}

} // namespace tunquil::ctl
