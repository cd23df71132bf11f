// tunquilctl: Tunquil's command-line companion.

#include "base/Files.h"
#include "ctl/CtlCommand.h"
#include "ctl/CtlHelp.h"
#include "ctl/CtlLibrary.h"

#include <algorithm>
#include <exception>
#include <iostream>

namespace tunquil::ctl {

namespace {
std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}
} // namespace

void RegisterCommand(Command command) {
    Registry().push_back(std::move(command));
}

const std::vector<Command>& Commands() {
    return Registry();
}

bool TakeFlag(std::vector<std::string>& args, const std::string& flag) {
    auto it = std::find(args.begin(), args.end(), flag);
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

std::optional<std::string> TakeOption(std::vector<std::string>& args, const std::string& option) {
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it == option) {
            if (it + 1 == args.end())
                throw UsageError(option + " needs a value");
            std::string value = *(it + 1);
            args.erase(it, it + 2);
            return value;
        }
        if (it->rfind(option + "=", 0) == 0) {
            std::string value = it->substr(option.size() + 1);
            args.erase(it);
            return value;
        }
    }
    return std::nullopt;
}

void RejectUnknownOptions(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a.size() > 2 && a.rfind("--", 0) == 0)
            throw UsageError("unknown option " + a);
}

void RejectArguments(const std::vector<std::string>& args) {
    RejectUnknownOptions(args);
    if (!args.empty())
        throw UsageError("unexpected argument " + args[0]);
}

int ParsePositive(const std::string& text, const std::string& what) {
    try {
        std::size_t used = 0;
        long value = std::stol(text, &used);
        if (used == text.size() && value > 0 && value <= 0x7FFFFFFF)
            return static_cast<int>(value);
    } catch (const std::exception&) {
    }
    throw UsageError("not " + what + ": " + text);
}

int ParseKey(const std::string& text) {
    return ParsePositive(text, "a title key");
}

} // namespace tunquil::ctl

using namespace tunquil::ctl;

// "help" with a command, or the build's generators of the manual pages and the completion.
static int Help(const std::vector<std::string>& args) {
    if (args.empty()) {
        PrintHelp(std::cout);
        return kOk;
    }
    if (args.size() == 2 && args[0] == "--man" && WriteManPage(std::cout, args[1]))
        return kOk;
    if (args.size() == 1 && args[0] == "--bash-completion") {
        WriteBashCompletion(std::cout);
        return kOk;
    }
    if (args.size() == 1 && PrintCommandHelp(std::cout, args[0]))
        return kOk;
    std::cerr << "tunquilctl help: no command " << args[0] << "\n";
    PrintHelp(std::cerr);
    return kUsage;
}

int main(int argc, char** argv) {
    tunquil::FailWritesPastTheFileSizeLimit();
    std::vector<std::string> args(argv + 1, argv + argc);
    Context ctx{{}, {}, {}, std::cout, std::cerr};
    try {
        if (auto home = TakeOption(args, "--home"))
            ctx.home = *home;
    } catch (const UsageError& e) {
        std::cerr << "tunquilctl: " << e.what() << "\n";
        return kUsage;
    }
    if (args.empty()) {
        PrintHelp(std::cerr);
        return kUsage;
    }
    if (args[0] == "help" || args[0] == "--help" || args[0] == "-h")
        return Help({args.begin() + 1, args.end()});
    std::string name = args[0];
    args.erase(args.begin());
    for (const auto& c : Commands()) {
        if (c.name != name)
            continue;
        ctx.args = std::move(args);
        ctx.command = name;
        try {
            return c.run(ctx);
        } catch (const UsageError& e) {
            std::cerr << "tunquilctl " << name << ": " << e.what() << "\nusage: tunquilctl "
                      << c.usage << "\n";
            return kUsage;
        } catch (const std::exception& e) {
            std::cerr << "tunquilctl " << name << ": " << Printable(e.what()) << "\n";
            return kUsage;
        }
    }
    std::cerr << "tunquilctl: unknown command " << name << "\n";
    PrintHelp(std::cerr);
    return kUsage;
}
