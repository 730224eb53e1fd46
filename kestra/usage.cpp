#include "kestra/usage.h"

#include <CLI/CLI.hpp>
#include <sstream>

#include "kestra/exit_codes.h"

namespace kestra::host {

namespace {

constexpr std::size_t kLineWidth = 80;
constexpr std::size_t kDescriptionColumn = 24;

// The main job, as the examples of the top-level help show it.
constexpr const char* kExamples[] = {
    "kestra import samples/sample-project.json -o sample.kpr",
    "kestra check sample.kpr",
    "kestra info sample.kpr",
    "kestra panel-image sample.kpr -o sample.img --check",
    "kestra print sample.kpr --pdf sample-plc-lines.pdf",
    "kestra card send sample.kpr",
    "kestra card list",
};

// The text broken into lines at spaces, so that none set at `indent` runs past the line width;
// a word longer than a line keeps a line of its own. The help layout indents each line after
// the first.
std::string Wrapped(const std::string& text, std::size_t indent) {
    const std::size_t width = kLineWidth - indent;
    std::istringstream words(text);
    std::string wrapped, line, word;
    while (words >> word) {
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            wrapped += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return wrapped + line;
}

class HelpFormatter : public CLI::Formatter {
  public:
    HelpFormatter() { column_width(kDescriptionColumn); }

    // Only the kind of value an option takes; a positional argument's name says it all.
    std::string make_option_opts(const CLI::Option* option) const override {
        if (option->get_positional() || option->get_type_size() == 0) return {};
        return " " + option->get_type_name();
    }

    // The description, then the rules that tie the option to others, as sentences.
    std::string make_option_desc(const CLI::Option* option) const override {
        std::string text = option->get_description();
        if (option->get_required() && option->nonpositional()) text += " Required.";
        for (const CLI::Option* other : option->get_needs())
            text += " Only with " + other->get_name() + ".";
        for (const CLI::Option* other : option->get_excludes())
            text += " Not with " + other->get_name() + ".";
        return Wrapped(text, kDescriptionColumn);
    }

    std::string make_subcommand(const CLI::App* command) const override {
        std::ostringstream out;
        CLI::detail::format_help(out, command->get_display_name(),
                                 Wrapped(command->get_description(), kDescriptionColumn),
                                 kDescriptionColumn);
        return out.str();
    }

    std::string make_description(const CLI::App* app) const override {
        const std::string text = app->get_description();
        return text.empty() ? text : Wrapped(text, 0) + "\n";
    }
};

}  // namespace

void SetUpUsage(CLI::App& app, const std::string& version) {
    app.formatter(std::make_shared<HelpFormatter>());
    app.set_help_flag("-h,--help", "Show this help and end.");
    app.set_version_flag("--version", version, "Show the program's version and end.");
}

std::string UsageFooter() {
    std::string footer =
        "Examples: the main job on the sample project (samples/ is in the program folder):\n";
    for (const char* example : kExamples) footer += std::string("  ") + example + "\n";
    footer += "\nExit codes:\n";
    std::ostringstream codes;
    constexpr std::size_t kMeaningColumn = 6;
    for (const ExitCodeInfo& info : kExitCodes)
        CLI::detail::format_help(codes, std::to_string(info.code),
                                 Wrapped(std::string(info.meaning), kMeaningColumn),
                                 kMeaningColumn);
    return footer + codes.str();
}

}  // namespace kestra::host
