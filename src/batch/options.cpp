// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/options.h"

#include <cstddef>

#include "batch/memory_plan.h"

namespace hueline::batch {
namespace {

// The value of an option that needs one: what follows its name in the
// same argument ("--jobs=4", "-j4"), else the next argument.
std::string optionValue(const std::string& a, std::size_t nameLength, int& i, int argc, char** argv) {
    if (a.size() > nameLength) return a.substr(a[nameLength] == '=' ? nameLength + 1 : nameLength);
    if (i + 1 >= argc) throw UsageError(a + " needs a value");
    return argv[++i];
}

// The number of pictures done at a time: a whole number from 1 to kMaxJobs.
int parseJobs(const std::string& text) {
    int n = 0;
    bool ok = !text.empty() && text.size() <= 3;
    for (std::size_t k = 0; ok && k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9') ok = false;
        else n = n * 10 + (text[k] - '0');
    }
    if (!ok || n < 1 || n > kMaxJobs)
        throw UsageError("-j must be a whole number from 1 to " + std::to_string(kMaxJobs) + ", not '" + text + "'");
    return n;
}

bool isOption(const std::string& a, const std::string& name) {
    return a == name || a.compare(0, name.size() + 1, name + "=") == 0;
}

// The command line as it is read: the options so far, and which
// argument comes next.
struct Reading {
    Options& o;
    int& i;
    int argc;
    char** argv;
    std::string value(const std::string& a, std::size_t nameLength) { return optionValue(a, nameLength, i, argc, argv); }
};

// Reads one option that has a value ("--format=png", "--jobs 4"); false
// when a is none of them.
bool readValueOption(const std::string& a, Reading r) {
    Options& o = r.o;
    if (isOption(a, "--jobs")) {
        o.jobs = parseJobs(r.value(a, 6));
    } else if (isOption(a, "--memory")) {
        o.memory = parseMemorySize(r.value(a, 8));
    } else if (isOption(a, "--files-from")) {
        o.filesFrom = r.value(a, 12);
        if (o.filesFrom->empty()) throw UsageError("--files-from needs a file name ('-' for standard input)");
    } else if (isOption(a, "--format")) {
        if (a == "--format" && r.i + 1 >= r.argc) throw UsageError("--format needs a value: jpg, bmp, png, svg or pdf");
        const std::string value = r.value(a, 8);
        if (value != "jpg" && value != "bmp" && value != "png" && value != "svg" && value != "pdf")
            throw UsageError("--format must be jpg, bmp, png, svg or pdf, not '" + value + "'");
        o.format = savedKindFromName("." + value);
    } else {
        return false;
    }
    return true;
}

}  // namespace

Options parseArguments(int argc, char** argv) {
    Options o;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (!optionsEnded && a.compare(0, 2, "-j") == 0) {
            o.jobs = parseJobs(optionValue(a, 2, i, argc, argv));
            continue;
        }
        if (optionsEnded || a.size() < 2 || a.compare(0, 2, "--") != 0) {
            positional.push_back(a);
            continue;
        }
        if (a == "--") optionsEnded = true;
        else if (a == "--timings") o.timings = true;
        else if (a == "--quiet") o.quiet = true;
        else if (a == "--help") o.help = true;
        else if (a == "--version") o.version = true;
        else if (!readValueOption(a, Reading{o, i, argc, argv})) throw UsageError("unknown option '" + a + "'");
    }
    if (o.help || o.version) return o;
    // With a list of pictures there is no INPUT: the first name is OUTPUT.
    const std::size_t first = o.filesFrom ? 0 : 1;
    if (positional.size() < first + 1) throw UsageError(o.filesFrom ? "OUTPUT is needed" : "INPUT and OUTPUT are needed");
    if (!o.filesFrom) o.input = positional[0];
    o.output = positional[first];
    for (std::size_t i = first + 1; i < positional.size(); ++i) o.steps.push_back(parseStep(positional[i]));
    return o;
}

}  // namespace hueline::batch
