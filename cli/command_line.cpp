#include "cli/command_line.h"

#include <algorithm>
#include <memory>

namespace simtrove::cli {
namespace {

// Thrown by the --version flag's callback so that nothing else is checked.
struct VersionRequested : CLI::Success {};

// Options in a column wide enough for "--vtc-box X0 X1 Y0 Y1 Z0 Z1"; text
// wrapped to fit a terminal of 80 columns.
constexpr std::size_t kOptionColumn = 32;
constexpr std::size_t kLineWidth = 80;

// `text` broken at blanks into lines of at most `width` characters (a longer
// word stands alone), joined by "\n".
std::string wrapped(const std::string& text, std::size_t width) {
    std::string out, line;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        start = end + 1;
        if (word.empty()) continue;
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return out + line;
}

// The project's help layout: usage line first, then the description, the
// options by group with their value names ("--cross X Y Z") and wrapped
// descriptions, then the footer.
class HelpFormatter : public CLI::Formatter {
  public:
    HelpFormatter() { column_width(kOptionColumn); }

    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override {
        std::string out = make_usage(app, name) + "\n";
        if (!app->get_description().empty())
            out += wrapped(app->get_description(), kLineWidth) + "\n";
        out += make_positionals(app) + make_groups(app, mode);
        if (!app->get_footer().empty()) out += app->get_footer() + "\n";
        return out;
    }
    std::string make_usage(const CLI::App* app, std::string) const override {
        std::string usage = "Usage: " + app->get_name() + " [OPTION]...";
        for (const CLI::Option* positional :
             app->get_options([](const CLI::Option* o) { return o->get_positional(); }))
            usage += " " + positional->get_name();
        return usage + "\n";
    }
    std::string make_option_opts(const CLI::Option* option) const override {
        return option->get_type_name().empty() ? "" : " " + option->get_type_name();
    }
    std::string make_option_desc(const CLI::Option* option) const override {
        return wrapped(option->get_description(), kLineWidth - kOptionColumn);
    }
};

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

std::string projectVersion() {
    return SIMTROVE_VERSION;
}

std::string versionText(const std::string& program) {
    return program + " (Simtrove) " + projectVersion() + "\n";
}

void configureApp(CLI::App& app, const std::string& program) {
    app.formatter(std::make_shared<HelpFormatter>());
    app.name(program);
    app.set_help_flag("-h,--help", "show this text and exit");
    app.add_flag_callback(
        "--version", [] { throw VersionRequested(); }, "show the version and exit");
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.allow_extras();
    // Options are spelled "--name" everywhere; on Windows CLI11 would also take
    // "/name", and so read a path such as /tmp/out as an unknown option.
    app.allow_windows_style_options(false);
}

ParseOutcome parseArguments(CLI::App& app, const std::vector<std::string>& args) {
    // CLI11 takes the arguments last to first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const VersionRequested&) {
        return {ParseOutcome::Kind::Print, versionText(app.get_name())};
    } catch (const CLI::CallForHelp&) {
        return {ParseOutcome::Kind::Print, app.help()};
    } catch (const CLI::ParseError& e) {
        return {ParseOutcome::Kind::Error, e.what()};
    }
    const std::vector<std::string> extras = app.remaining();
    if (!extras.empty()) {
        const std::string& first = extras.front();
        const bool option = first.size() > 1 && first[0] == '-';
        return {ParseOutcome::Kind::Error,
                (option ? "unknown option " : "unexpected argument ") + quoted(first)};
    }
    return {};
}

}  // namespace simtrove::cli
