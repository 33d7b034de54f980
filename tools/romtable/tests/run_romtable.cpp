#include "run_romtable.h"

#include <memory>

#include "commands.h"

namespace {

std::string contents(FILE* file)
{
    std::string text;
    std::rewind(file);
    char block[4096];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        text.append(block, got);
    }
    return text;
}

struct CloseFile {
    void operator()(FILE* file) const { std::fclose(file); }
};

int run(FILE* out, FILE* err, std::vector<std::string> args)
{
    args.insert(args.begin(), "romtable");
    std::vector<const char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    return run_romtable(static_cast<int>(argv.size()), argv.data(), out, err);
}

}  // namespace

Outcome romtable(std::vector<std::string> args)
{
    const std::unique_ptr<FILE, CloseFile> out(std::tmpfile());
    const std::unique_ptr<FILE, CloseFile> err(std::tmpfile());
    Outcome outcome{run(out.get(), err.get(), std::move(args)), "", ""};
    outcome.out = contents(out.get());
    outcome.err = contents(err.get());
    return outcome;
}

Outcome romtable_into(FILE* out, std::vector<std::string> args)
{
    const std::unique_ptr<FILE, CloseFile> err(std::tmpfile());
    Outcome outcome{run(out, err.get(), std::move(args)), "", ""};
    outcome.err = contents(err.get());
    return outcome;
}
