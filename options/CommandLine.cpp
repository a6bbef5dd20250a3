#include "options/CommandLine.h"

#include "app/ScenePopulation.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <sstream>
#include <type_traits>

namespace spheres {

namespace {

// One option of the language. option<field>() makes a row; the programs that accept it are the
// ones whose options hold the field.
struct OptionRow {
    const char* name;
    // The value's name in the usage ("N"); null for an option that takes no value.
    const char* value;
    // The usage line; "{range}" stands for the bounds, "LOW to HIGH".
    const char* help;
    // The bounds of a number, both allowed, or the names of a choice in the order of its enum.
    double low;
    double high;
    const char* const* choices;
    bool forSim;
    bool forView;
    // Checks text (empty for an option without a value) and stores it in the field of options;
    // returns "" or what is wrong with text.
    std::string (*store)(const OptionRow& row, const std::string& text, ProgramOptions& options);
};

// The bounds of a float that is positive and finite.
constexpr double positive = std::numeric_limits<float>::denorm_min();
constexpr double finite = FLT_MAX;

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string numberText(double number) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", number);
    return text;
}

std::string range(const OptionRow& row) {
    return numberText(row.low) + " to " + numberText(row.high);
}

// Numbers as written: no leading white space (which strto* would skip), nothing after them, no
// overflow, and within the bounds. Each type is read at its own precision, so a float is never
// rounded twice.
template <class Number>
bool parseNumber(const std::string& text, double low, double high, Number& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    if constexpr (std::is_integral_v<Number>) {
        long long whole = std::strtoll(begin, &end, 10);
        if (errno != 0 || end == begin || *end != '\0' || whole < static_cast<long long>(low) ||
            whole > static_cast<long long>(high)) {
            return false;
        }
        value = static_cast<Number>(whole);
    } else {
        Number parsed = std::is_same_v<Number, float>
                            ? std::strtof(begin, &end)
                            : static_cast<Number>(std::strtod(begin, &end));
        // A denormal result is exact enough and in range, though strto* reports ERANGE for it.
        bool underflow = errno == ERANGE && std::isfinite(parsed) && parsed != 0;
        // isfinite first: an ordered comparison with NaN raises the invalid-operation flag.
        if ((errno != 0 && !underflow) || end == begin || *end != '\0' || !std::isfinite(parsed) ||
            parsed < low || parsed > high) {
            return false;
        }
        value = parsed;
    }
    return true;
}

// The value of each kind of field: a flag is set, a number read within the row's bounds, a file
// name must not be empty, a choice is one of the row's names, GLUT's options are passed on.
std::string readValue(const OptionRow&, const std::string&, bool& flag) {
    flag = true;
    return "";
}

template <class Number, std::enable_if_t<std::is_arithmetic_v<Number>, int> = 0>
std::string readValue(const OptionRow& row, const std::string& text, Number& number) {
    if (parseNumber(text, row.low, row.high, number)) {
        return "";
    }
    if constexpr (std::is_integral_v<Number>) {
        return quoted(text) + " is not a whole number " +
               (row.high == INT_MAX ? "of " + numberText(row.low) + " or more"
                                    : "from " + range(row));
    }
    return quoted(text) + " is not a " +
           (row.low == positive && row.high == finite ? "positive finite number"
                                                      : "number from " + range(row));
}

std::string readValue(const OptionRow&, const std::string& text, std::string& path) {
    if (text.empty()) {
        return "the file name is empty";
    }
    path = text;
    return "";
}

template <class Choice, std::enable_if_t<std::is_enum_v<Choice>, int> = 0>
std::string readValue(const OptionRow& row, const std::string& text, Choice& choice) {
    std::string names;
    for (int i = 0; row.choices[i] != nullptr; ++i) {
        if (text == row.choices[i]) {
            choice = static_cast<Choice>(i);
            return "";
        }
        names += (i == 0                          ? ""
                  : row.choices[i + 1] == nullptr ? " or "
                                                  : ", ") +
                 std::string(row.choices[i]);
    }
    return quoted(text) + " is not " + names;
}

std::string readValue(const OptionRow& row, const std::string& text,
                      std::vector<std::string>& words) {
    words.push_back(row.name);
    if (row.value != nullptr) {
        words.push_back(text);
    }
    return "";
}

// A list such as "100:b,150:space,300:esc", sorted by frame.
std::string readValue(const OptionRow&, const std::string& text, std::vector<KeyPress>& keys) {
    keys.clear();
    std::string::size_type start = 0;
    while (!text.empty()) {
        std::string::size_type comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
        std::string::size_type colon = item.find(':');
        int frame = 0;
        if (colon == std::string::npos || !parseNumber(item.substr(0, colon), 0, INT_MAX, frame)) {
            return quoted(item) + " is not FRAME:KEY with a frame of 0 or more";
        }
        std::string name = item.substr(colon + 1);
        KeyPress press;
        press.afterFrame = frame;
        if (name == "space") {
            press.key = ' ';
        } else if (name == "esc") {
            press.key = 27;
        } else if (name.size() == 1) {
            press.key = static_cast<unsigned char>(name[0]);
        } else {
            return quoted(name) + " is not a single character, space or esc";
        }
        keys.push_back(press);
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    // Presses happen frame by frame; those of one frame keep the order they were given in.
    std::stable_sort(keys.begin(), keys.end(), [](const KeyPress& a, const KeyPress& b) {
        return a.afterFrame < b.afterFrame;
    });
    return "";
}

template <class Member> struct MemberOf;
template <class Owner, class Field> struct MemberOf<Field Owner::*> { using Class = Owner; };

template <auto field>
std::string store(const OptionRow& row, const std::string& text, ProgramOptions& options) {
    // The reader hands a row only the options of a program that accepts it, and a program
    // accepts only the rows whose field its options hold.
    using Owner = typename MemberOf<decltype(field)>::Class;
    return readValue(row, text, static_cast<Owner&>(options).*field);
}

template <auto field>
constexpr OptionRow option(const char* name, const char* value, const char* help, double low = 0.0,
                           double high = 0.0, const char* const* choices = nullptr) {
    using Owner = typename MemberOf<decltype(field)>::Class;
    constexpr bool shared = std::is_same_v<Owner, ProgramOptions>;
    constexpr bool sim = std::is_same_v<Owner, SimOptions>;
    constexpr bool view = std::is_same_v<Owner, ViewOptions>;
    static_assert(shared || sim || view, "a field of the programs' options");
    return {name, value, help, low, high, choices, shared || sim, shared || view, &store<field>};
}

const char* const walkNames[] = {"literal", "snapshot", "batched", nullptr};

// Every option of both programs, in the order of the usage texts. A new option is one row here
// and its field: in ProgramOptions for both programs, in SimOptions or ViewOptions for one. A
// field of a new type needs its readValue; an enum reads as a choice of the row's names.
const OptionRow table[] = {
    option<&ProgramOptions::frames>(
        "--frames", "F", "frames to run after start-up, {range} (0: start-up only)", 0, INT_MAX),
    option<&ProgramOptions::scene>(
        "--scene", "NAME",
        "the start scene: program (the program's, the default), sizes (radii from 50 to 5 000, "
        "most near 50), clusters (slow bodies in clumps of about 100), giants (the program's "
        "with every 500th body 20 000 in radius) or shell (bodies sliding over a hollow sphere)",
        0.0, 0.0, sceneNames),
    option<&ProgramOptions::bodies>("--bodies", "N", "bodies in the scene, {range} (default 100)",
                                    1, maxBodies),
    option<&ProgramOptions::seed>(
        "--seed", "S", "state of the scene's random generator, {range} (default 1)", 0, UINT32_MAX),
    option<&ProgramOptions::spread>(
        "--spread", "X",
        "scale of the start positions, a positive finite number (default: 1 for 100 bodies, "
        "cbrt(N/100) otherwise, which keeps the density)",
        positive, finite),
    option<&ProgramOptions::keys>(
        "--keys", "LIST",
        "key presses between frames, e.g. 100:b,150:space,300:esc; a press K:KEY happens after "
        "frame K, K from 0 to F; KEY is one character as typed, space or esc"),
    option<&ProgramOptions::tracePath>(
        "--trace", "FILE", "CSV of every body's state after start-up and after each frame"),
    option<&SimOptions::every>("--every", "K", "trace every K-th frame, {range} (default 1)", 1,
                               INT_MAX),
    option<&SimOptions::framesPath>("--frames-out", "FILE",
                                    "CSV of frame, drawn, alive and contacts per frame"),
    option<&SimOptions::timings>("--timings", nullptr,
                                 "add each frame's computing time in ms to --frames-out"),
    option<&SimOptions::walk>(
        "--walk", "W",
        "how the queries run: literal (down the tree's lists), snapshot (through its contiguous "
        "copy) or batched (every query first, then the responses; the default); all give the "
        "same results. The batched walk gives each thread at least 2048 bodies: fewer threads "
        "run in a smaller scene, and below 2048 bodies it runs as the snapshot walk",
        0.0, 0.0, walkNames),
    option<&SimOptions::threads>("--threads", "N",
                                 "threads of the batched walk, {range} (default: the number of "
                                 "cores)",
                                 1, maxThreads),
    option<&SimOptions::printDrawn>("--print-drawn", nullptr,
                                    "print \"Spheres Drawn: N\" per frame as the window program "
                                    "does"),
    option<&SimOptions::quiet>("--quiet", nullptr, "no progress and no summary on standard error"),
    option<&ViewOptions::screenshotPath>(
        "--screenshot", "FILE", "write the picture of frame F (default 0) as PNG, then end"),
    option<&ViewOptions::rate>("--rate", "R",
                               "simulated frames per second, {range} (default 30); 0: one frame "
                               "per picture, as fast as the window draws",
                               0.0, maxViewRate),
    option<&ProgramOptions::help>("--help", nullptr, "this text"),
    option<&ProgramOptions::version>("--version", nullptr, "the version"),
    // GLUT's own, which glutInit reads.
    option<&ViewOptions::glutArguments>("-display", "D", "the X display"),
    option<&ViewOptions::glutArguments>("-geometry", "WxH+X+Y", "the window's size and place"),
    option<&ViewOptions::glutArguments>("-iconic", nullptr, "start as an icon"),
    option<&ViewOptions::glutArguments>("-direct", nullptr, "a direct GL context or none"),
    option<&ViewOptions::glutArguments>("-indirect", nullptr, "an indirect GL context"),
    option<&ViewOptions::glutArguments>("-gldebug", nullptr, "report GL errors after each event"),
    option<&ViewOptions::glutArguments>("-sync", nullptr, "synchronous X calls"),
};

bool accepts(const OptionRow& row, Program program) {
    return program == Program::Sim ? row.forSim : row.forView;
}

std::string readRows(Program program, int argc, const char* const* argv, ProgramOptions& options,
                     std::vector<std::string>* given) {
    std::vector<const OptionRow*> seen;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        std::string name = argument == "-h" ? "--help" : argument;
        std::string value;
        std::string::size_type equals = argument.find('=');
        bool inlineValue = argument.compare(0, 2, "--") == 0 && equals != std::string::npos;
        if (inlineValue) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        const OptionRow* row = std::find_if(std::begin(table), std::end(table), [&](auto& row) {
            return name == row.name && accepts(row, program);
        });
        if (row == std::end(table)) {
            return "unknown option " + quoted(argument) + " (see --help)";
        }
        // A second --trace or --rate would silently override the first.
        if (std::find(seen.begin(), seen.end(), row) != seen.end()) {
            return name + " is given twice";
        }
        seen.push_back(row);
        if (row->value == nullptr && inlineValue) {
            return name + " takes no value";
        }
        if (row->value != nullptr && !inlineValue) {
            if (i + 1 >= argc) {
                return name + " needs a value";
            }
            value = argv[++i];
        }
        std::string error = row->store(*row, value, options);
        if (!error.empty()) {
            return name + ": " + error;
        }
    }
    bool spreadGiven = false;
    for (const OptionRow* row : seen) {
        spreadGiven = spreadGiven || std::string(row->name) == "--spread";
        if (given != nullptr) {
            given->push_back(row->name);
        }
    }
    if (!spreadGiven) {
        options.spread = defaultSpread(options.bodies);
    }
    return "";
}

} // namespace

std::string readCommandLine(int argc, const char* const* argv, SimOptions& options,
                            std::vector<std::string>* given) {
    return readRows(Program::Sim, argc, argv, options, given);
}

std::string readCommandLine(int argc, const char* const* argv, ViewOptions& options,
                            std::vector<std::string>* given) {
    return readRows(Program::View, argc, argv, options, given);
}

std::string optionUsage(Program program) {
    // The name and value in 15 columns after an indent of 2, or wider; the help from column 19
    // on, its words wrapped at 79.
    constexpr std::string::size_type helpColumn = 19, width = 79;
    std::string text;
    for (const OptionRow& row : table) {
        if (!accepts(row, program)) {
            continue;
        }
        std::string line =
            "  " + std::string(row.name) + (row.value ? " " : "") + (row.value ? row.value : "");
        line.resize(std::max(helpColumn, line.size() + 2), ' ');
        std::string help = row.help;
        std::string::size_type mark = help.find("{range}");
        if (mark != std::string::npos) {
            help.replace(mark, 7, range(row));
        }
        std::istringstream words(help);
        bool lineStart = true;
        for (std::string word; words >> word; lineStart = false) {
            if (!lineStart && line.size() + 1 + word.size() > width) {
                text += line + "\n";
                line = std::string(helpColumn, ' ');
                lineStart = true;
            }
            line += (lineStart ? "" : " ") + word;
        }
        text += line + "\n";
    }
    return text;
}

} // namespace spheres
